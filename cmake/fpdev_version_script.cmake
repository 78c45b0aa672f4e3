# Writes the device library's version script: the template IN with the tests'
# hooks (every defined function of the component archives whose name ends in
# ForTest) made local by name, since a name outranks the patterns of the
# exported interfaces.
#
#   cmake -DNM=nm -DIN=map.in -DOUT=map -DARCHIVES="a.a|b.a" -P fpdev_version_script.cmake
string(REPLACE "|" ";" archives "${ARCHIVES}")
set(hooks)
foreach(archive ${archives})
  execute_process(COMMAND "${NM}" --defined-only "${archive}"
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE rc ERROR_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} ${archive} failed (${rc})")
  endif()
  string(REGEX MATCHALL "[ \t][TtWw] [A-Za-z_][A-Za-z0-9_]*ForTest\n" found "${symbols}")
  foreach(line ${found})
    string(REGEX REPLACE "^[ \t][TtWw] ([A-Za-z0-9_]+)\n$" "\\1" name "${line}")
    list(APPEND hooks "${name}")
  endforeach()
endforeach()
list(REMOVE_DUPLICATES hooks)
list(SORT hooks)
set(FPDEV_TEST_HOOKS "")
foreach(name ${hooks})
  string(APPEND FPDEV_TEST_HOOKS "    ${name};\n")
endforeach()
string(REGEX REPLACE "\n$" "" FPDEV_TEST_HOOKS "${FPDEV_TEST_HOOKS}")
configure_file("${IN}" "${OUT}.tmp" @ONLY)
# Unchanged contents keep the file's time, so the library is not relinked.
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
