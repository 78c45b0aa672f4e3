# The component order check of cmake/fpdev_layers.cmake against two small
# trees: layers_fixture (includes; four faults among headers that are fine)
# and layers_link_fixture (one target linking above itself).
# Run: cmake -DFPDEV_SOURCE_DIR=<root> -DWORK_DIR=<dir> -DGENERATOR=<generator>
#        -P fpdev_layers_test.cmake

set(module ${FPDEV_SOURCE_DIR}/cmake/fpdev_layers.cmake)
set(fixture ${CMAKE_CURRENT_LIST_DIR}/layers_fixture)
set(failures)

# Fails the test unless <output> holds every expected line and none of the
# forbidden file names.
function(expect what rc output)
  if(rc EQUAL 0)
    list(APPEND failures "${what}: the check passed")
  endif()
  foreach(line ${ARGN})
    if(line MATCHES "^!")
      string(SUBSTRING "${line}" 1 -1 name)
      string(FIND "${output}" "${name}" at)
      if(NOT at EQUAL -1)
        list(APPEND failures "${what}: reports ${name}")
      endif()
    else()
      string(FIND "${output}" "${line}" at)
      if(at EQUAL -1)
        list(APPEND failures "${what}: does not report \"${line}\"")
      endif()
    endif()
  endforeach()
  set(failures ${failures} PARENT_SCOPE)
endfunction()

execute_process(
  COMMAND ${CMAKE_COMMAND} -DFPDEV_ROOT=${fixture} -DFPDEV_LAYERS_FILE=${fixture}/layers.txt
          -P ${module}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect(includes "${rc}" "${out}${err}"
  # Upward by a root path, by a path relative to the folder (line 3, after
  # a blank line), by an angle include, and from a nested folder that is its
  # own, lower component.
  "low/up.cpp:1: low includes mid/m.h, a header of mid, which lies above it"
  "mid/rel.cpp:3: mid includes ../high/h.h, a header of high, which lies above it"
  "mid2/side.cpp:2: mid includes high/h.h, a header of high, which lies above it"
  "high/inner/x.cpp:2: inner includes high/h.h, a header of high, which lies above it"
  # Downward, within the component across its folders, system headers,
  # missing headers and a nested lower component are all fine.
  "!mid/ok.cpp" "!high/ok.cpp" "!mid/m.h:" "!side.cpp:1" "!x.cpp:1")

set(build ${WORK_DIR}/layers_link_fixture)
file(REMOVE_RECURSE ${build})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/layers_link_fixture -B ${build} -G ${GENERATOR}
          -DFPDEV_LAYERS_MODULE=${module}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect(links "${rc}" "${out}${err}"
  "low links high, which lies above it" "!mid links" "!high links" "!outside")

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "component order check:\n  ${text}")
endif()
message(STATUS "component order check: every planted fault reported, nothing else")
