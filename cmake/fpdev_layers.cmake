# The order of the components (FPDEV_LAYERS in the top-level CMakeLists.txt)
# and its check: a component's sources include headers only of components
# below it, and its target links only those.
#
# FPDEV_LAYERS holds one entry per component, bottom first:
#   "<target>:<folder>[,<folder>...]"
# with folders relative to the source root. A file belongs to the component
# whose folder is the longest prefix of its path.
#
# Used two ways:
#   include(cmake/fpdev_layers.cmake) then fpdev_check_layers(): checks the
#     includes and the targets' links at configure time and adds the CTest
#     component_layers, which checks the includes again on every test run.
#   cmake -DFPDEV_ROOT=<dir> -DFPDEV_LAYERS_FILE=<file> -P fpdev_layers.cmake:
#     checks the includes of the tree at <dir> against the order written in
#     <file> (what the CTest runs); exits non-zero with one line per fault.

# Sets <out_index> and <out_target> to the component of the root-relative
# path <path> (-1 and "" when it lies in none).
function(_fpdev_layer_of path out_index out_target)
  set(best_index -1)
  set(best_target "")
  set(best_len 0)
  set(index 0)
  foreach(entry ${FPDEV_LAYERS})
    string(REPLACE ":" ";" parts "${entry}")
    list(GET parts 0 target)
    list(GET parts 1 folders)
    string(REPLACE "," ";" folders "${folders}")
    foreach(folder ${folders})
      string(LENGTH "${folder}" len)
      if((path STREQUAL folder OR path MATCHES "^${folder}/") AND len GREATER best_len)
        set(best_index ${index})
        set(best_target ${target})
        set(best_len ${len})
      endif()
    endforeach()
    math(EXPR index "${index} + 1")
  endforeach()
  set(${out_index} ${best_index} PARENT_SCOPE)
  set(${out_target} "${best_target}" PARENT_SCOPE)
endfunction()

# Appends to <out_faults> one line for every include of a component's source
# that names a header of a component at or above it (other than its own).
function(_fpdev_check_layer_includes root out_faults)
  set(faults)
  set(sources)
  foreach(entry ${FPDEV_LAYERS})
    string(REPLACE ":" ";" parts "${entry}")
    list(GET parts 1 folders)
    string(REPLACE "," ";" folders "${folders}")
    foreach(folder ${folders})
      file(GLOB_RECURSE files RELATIVE ${root}
           ${root}/${folder}/*.h ${root}/${folder}/*.hpp ${root}/${folder}/*.c
           ${root}/${folder}/*.cc ${root}/${folder}/*.cpp ${root}/${folder}/*.inc)
      list(APPEND sources ${files})
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES sources)
  list(SORT sources)
  foreach(file ${sources})
    _fpdev_layer_of(${file} own_index own_target)
    if(own_index LESS 0)
      continue()
    endif()
    get_filename_component(dir ${file} DIRECTORY)
    file(STRINGS ${root}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]+[\">]")
    if(NOT lines)
      continue()
    endif()
    # file(STRINGS) drops the line numbers; count them again in the text.
    file(READ ${root}/${file} text)
    foreach(line ${lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]+)[\">].*$" "\\1" name "${line}")
      set(target_path "")
      if(EXISTS ${root}/${name} AND NOT IS_DIRECTORY ${root}/${name})
        set(target_path ${name})
      elseif(EXISTS ${root}/${dir}/${name} AND NOT IS_DIRECTORY ${root}/${dir}/${name})
        get_filename_component(abs ${root}/${dir}/${name} ABSOLUTE)
        file(RELATIVE_PATH target_path ${root} ${abs})
      else()
        continue()
      endif()
      _fpdev_layer_of(${target_path} inc_index inc_target)
      if(inc_index GREATER_EQUAL own_index AND NOT inc_target STREQUAL own_target)
        string(FIND "${text}" "${line}" pos)
        string(SUBSTRING "${text}" 0 ${pos} before)
        string(REGEX REPLACE "[^\n]" "" newlines "${before}")
        string(LENGTH "${newlines}" at)
        math(EXPR at "${at} + 1")
        list(APPEND faults
             "${file}:${at}: ${own_target} includes ${name}, a header of ${inc_target}, which lies above it")
      endif()
    endforeach()
  endforeach()
  set(${out_faults} ${faults} PARENT_SCOPE)
endfunction()

# Appends to <out_faults> one line for every link of a component's target to
# a component at or above it.
function(_fpdev_check_layer_links out_faults)
  set(faults)
  set(index 0)
  set(targets)
  foreach(entry ${FPDEV_LAYERS})
    string(REPLACE ":" ";" parts "${entry}")
    list(GET parts 0 target)
    list(APPEND targets ${target})
  endforeach()
  foreach(target ${targets})
    if(TARGET ${target})
      get_target_property(type ${target} TYPE)
      set(links)
      if(NOT type STREQUAL "INTERFACE_LIBRARY")
        get_target_property(direct ${target} LINK_LIBRARIES)
        if(direct)
          list(APPEND links ${direct})
        endif()
      endif()
      get_target_property(iface ${target} INTERFACE_LINK_LIBRARIES)
      if(iface)
        list(APPEND links ${iface})
      endif()
      list(REMOVE_DUPLICATES links)
      foreach(link ${links})
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
        list(FIND targets "${link}" link_index)
        if(link_index GREATER_EQUAL index AND NOT link STREQUAL target)
          list(APPEND faults "${target} links ${link}, which lies above it")
        endif()
      endforeach()
    endif()
    math(EXPR index "${index} + 1")
  endforeach()
  set(${out_faults} ${faults} PARENT_SCOPE)
endfunction()

function(_fpdev_report_layer_faults)
  set(faults ${ARGN})
  if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "Components reach above themselves (order: FPDEV_LAYERS in "
                        "the top-level CMakeLists.txt):\n  ${text}\n")
  endif()
endfunction()

# Checks the includes and the links of every component against FPDEV_LAYERS
# and adds the CTest component_layers. Call after every component exists.
function(fpdev_check_layers)
  _fpdev_check_layer_includes(${PROJECT_SOURCE_DIR} include_faults)
  _fpdev_check_layer_links(link_faults)
  _fpdev_report_layer_faults("${include_faults}" "${link_faults}")
  set(file ${PROJECT_BINARY_DIR}/fpdev_layers.txt)
  list(JOIN FPDEV_LAYERS "\n" text)
  file(WRITE ${file}.new "${text}\n")
  file(COPY_FILE ${file}.new ${file} ONLY_IF_DIFFERENT)
  if(FPDEV_BUILD_TESTS)
    add_test(NAME component_layers
             COMMAND ${CMAKE_COMMAND} -DFPDEV_ROOT=${PROJECT_SOURCE_DIR}
                     -DFPDEV_LAYERS_FILE=${file} -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE})
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND FPDEV_LAYERS_FILE)
  file(STRINGS ${FPDEV_LAYERS_FILE} FPDEV_LAYERS)
  get_filename_component(root ${FPDEV_ROOT} ABSOLUTE)
  _fpdev_check_layer_includes(${root} faults)
  _fpdev_report_layer_faults("${faults}")
endif()
