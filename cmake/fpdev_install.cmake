# Installation: the device library with its development files, the copy the
# service plug-in loads, the plug-in in the service's drivers folder, the udev
# rule for the sensors the drivers serve, and the plug-in's registration with
# the service (through the service's own configuration tool).

include_guard(GLOBAL)
include(GNUInstallDirs)

# The service's drivers folder: beside the daemon that the installed service
# package ships (dpkg -L biometric-auth), as <daemon folder>/drivers.
function(_fpdev_find_service_drivers_dir out)
  set(dir "")
  find_program(_fpdev_dpkg dpkg)
  if(_fpdev_dpkg)
    execute_process(COMMAND ${_fpdev_dpkg} -L biometric-auth
                    OUTPUT_VARIABLE files RESULT_VARIABLE rc ERROR_QUIET)
    if(rc EQUAL 0)
      string(REGEX MATCH "[^\n]*/biometric-authenticationd(\n|$)" daemon "${files}")
      string(STRIP "${daemon}" daemon)
      if(daemon)
        get_filename_component(daemon_dir "${daemon}" DIRECTORY)
        set(dir "${daemon_dir}/drivers")
      endif()
    endif()
  endif()
  if(NOT dir)
    # The folder the plug-in's own library path lies in.
    set(dir "/usr/lib/biometric-authentication/drivers")
    message(STATUS "fpdev: the service package is not installed; drivers folder ${dir}")
  endif()
  set(${out} "${dir}" PARENT_SCOPE)
endfunction()

if(NOT DEFINED FPDEV_SERVICE_DRIVERS_DIR)
  _fpdev_find_service_drivers_dir(_fpdev_drivers_dir)
  set(FPDEV_SERVICE_DRIVERS_DIR "${_fpdev_drivers_dir}" CACHE PATH
      "The biometric-authentication service's drivers folder (zq4842.so goes here)")
endif()
# Where the plug-in loads the device library from (its quorvanta_library_path).
set(FPDEV_PLUGIN_LIBRARY_PATH "/usr/lib/biometric-authentication/drivers/extra/zq4842-extra.so"
    CACHE FILEPATH "Path of the device library as the service plug-in loads it")
set(FPDEV_UDEV_RULES_DIR "/usr/lib/udev/rules.d" CACHE PATH "udev rules folder")
set(FPDEV_SERVICE_CONFIG "/etc/biometric-auth/biometric-drivers.conf" CACHE FILEPATH
    "The service's driver configuration, which the install step registers zq4842 in")
option(FPDEV_REGISTER_SERVICE_DRIVER
       "Register zq4842 with the service on install (never with DESTDIR)" ON)
# The service's parts (the plug-in, the library copy it loads, the udev rule
# and the registration) live in the system's own folders; they are installed
# only with this install prefix, the service's own.
set(FPDEV_SERVICE_PREFIX "/usr" CACHE PATH
    "Install prefix with which the service's parts are installed too")
option(FPDEV_UDEV_UACCESS
       "The udev rule also gives the logged-in user access to the sensors (development)" OFF)

# install(CODE) that runs the code given only when the install prefix is the
# service's; with any other prefix it says once what is left out and how to
# install it.
function(_fpdev_install_service_code code)
  install(CODE "if(CMAKE_INSTALL_PREFIX STREQUAL \"${FPDEV_SERVICE_PREFIX}\")
${code}
elseif(NOT _fpdev_service_parts_reported)
  set(_fpdev_service_parts_reported TRUE)
  message(STATUS \"The install prefix \${CMAKE_INSTALL_PREFIX} is not ${FPDEV_SERVICE_PREFIX}: \"
    \"the service's parts (the zq4842 plug-in, the library copy it loads, the udev rule and \"
    \"the registration) are left out; they go into the system's folders. Build them (a build of \"
    \"the library alone lacks them) and install them with: \"
    \"cmake --build ${PROJECT_BINARY_DIR} && \"
    \"sudo cmake --install ${PROJECT_BINARY_DIR} --prefix ${FPDEV_SERVICE_PREFIX} --component service\")
endif()" COMPONENT service)
endfunction()

# Installs the device library, its development files, the plug-in's copy of it
# and the udev rule. Call after fpdev_add_device_library().
function(fpdev_install_device_library)
  install(TARGETS fpdev_quorvanta
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
                  COMPONENT runtime NAMELINK_COMPONENT development)
  install(FILES ${PROJECT_SOURCE_DIR}/framework/fpdev.h
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/fpdev_quorvanta COMPONENT development)

  # The pkg-config file, made when the tree is configured for the configured
  # prefix. An install with another prefix (--prefix) writes the same file
  # with that prefix straight into its destination.
  set(FPDEV_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(FPDEV_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
  set(FPDEV_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
  set(FPDEV_PC_VERSION "${PROJECT_VERSION}")
  set(pc ${PROJECT_BINARY_DIR}/fpdev_quorvanta.pc)
  configure_file(${PROJECT_SOURCE_DIR}/data/fpdev_quorvanta.pc.in ${pc} @ONLY)
  install(CODE "set(_pc_dir \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\")
if(CMAKE_INSTALL_PREFIX STREQUAL \"${CMAKE_INSTALL_PREFIX}\")
  file(INSTALL \"${pc}\" DESTINATION \"\${_pc_dir}\")
else()
  file(READ \"${pc}\" _pc)
  string(REGEX REPLACE \"^prefix=[^\\n]*\" \"prefix=\${CMAKE_INSTALL_PREFIX}\" _pc \"\${_pc}\")
  message(STATUS \"Installing: \$ENV{DESTDIR}\${_pc_dir}/fpdev_quorvanta.pc\")
  file(WRITE \"\$ENV{DESTDIR}\${_pc_dir}/fpdev_quorvanta.pc\" \"\${_pc}\")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\$ENV{DESTDIR}\${_pc_dir}/fpdev_quorvanta.pc\")
endif()" COMPONENT development)

  get_filename_component(extra_dir "${FPDEV_PLUGIN_LIBRARY_PATH}" DIRECTORY)
  get_filename_component(extra_name "${FPDEV_PLUGIN_LIBRARY_PATH}" NAME)
  _fpdev_install_service_code("  file(INSTALL DESTINATION \"${extra_dir}\" TYPE FILE RENAME \"${extra_name}\"
       FILES \"$<TARGET_FILE:fpdev_quorvanta>\")")

  # The udev rule, written from the drivers' id tables by the built library.
  add_executable(fpdev_udev_rules ${PROJECT_SOURCE_DIR}/data/udev_rules.cpp)
  target_include_directories(fpdev_udev_rules PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(fpdev_udev_rules PRIVATE fpdev_quorvanta PkgConfig::GLIB PkgConfig::LIBUSB)
  set(rules ${PROJECT_BINARY_DIR}/60-fpdev-quorvanta.rules)
  set(rule_options)
  if(FPDEV_UDEV_UACCESS)
    set(rule_options --uaccess)
  endif()
  add_custom_command(OUTPUT ${rules}
                     COMMAND fpdev_udev_rules ${rule_options} ${rules}
                     DEPENDS fpdev_udev_rules
                     COMMENT "udev rule from the drivers' USB id tables")
  add_custom_target(fpdev_udev_rule ALL DEPENDS ${rules})
  _fpdev_install_service_code("  file(INSTALL \"${rules}\" DESTINATION \"${FPDEV_UDEV_RULES_DIR}\")")
endfunction()

# Installs the plug-in into the service's drivers folder and registers it.
function(fpdev_install_plugin target)
  set(code "  file(INSTALL DESTINATION \"${FPDEV_SERVICE_DRIVERS_DIR}\" TYPE SHARED_LIBRARY
       FILES \"$<TARGET_FILE:${target}>\")")
  if(FPDEV_REGISTER_SERVICE_DRIVER)
    string(APPEND code "
  set(FPDEV_REGISTER_DRIVER_NAME \"zq4842\")
  set(FPDEV_REGISTER_DRIVER_PATH \"${FPDEV_SERVICE_DRIVERS_DIR}/$<TARGET_FILE_NAME:${target}>\")
  set(FPDEV_REGISTER_CONFIG \"${FPDEV_SERVICE_CONFIG}\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/fpdev_register_driver.cmake\")")
  endif()
  _fpdev_install_service_code("${code}")
endfunction()
