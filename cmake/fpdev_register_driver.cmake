# Install step: registers the plug-in in the service's driver configuration
# through the service's configuration tool. It never writes the file itself,
# and it leaves a group that is already there as it is. Skipped when staging
# (DESTDIR) and where the tool is missing; then it says what to run.

set(_name "${FPDEV_REGISTER_DRIVER_NAME}")
set(_path "${FPDEV_REGISTER_DRIVER_PATH}")
set(_config "${FPDEV_REGISTER_CONFIG}")
set(_by_hand "biometric-config-tool add-driver ${_name} ${_path}")

if(NOT "$ENV{DESTDIR}" STREQUAL "")
  message(STATUS "Staging install (DESTDIR): ${_name} not registered with the service; "
                 "on the target run: ${_by_hand}")
  return()
endif()
if(EXISTS "${_config}")
  file(STRINGS "${_config}" _groups REGEX "^[ \t]*\\[${_name}\\][ \t]*$")
  if(_groups)
    message(STATUS "${_name} is already in ${_config}; left as it is")
    return()
  endif()
endif()
find_program(_tool biometric-config-tool)
if(NOT _tool)
  message(WARNING "biometric-config-tool not found: ${_name} is not registered with the "
                  "service. Install the service's utilities and run: ${_by_hand}")
  return()
endif()
execute_process(COMMAND ${_tool} add-driver ${_name} ${_path}
                RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _out)
if(NOT _rc EQUAL 0)
  message(WARNING "biometric-config-tool add-driver ${_name} failed (${_rc}): ${_out}")
else()
  message(STATUS "Registered ${_name} (${_path}) with the service")
endif()
