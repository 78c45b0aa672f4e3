# Helpers shared by every subsystem's CMakeLists.txt.

include_guard(GLOBAL)

# fpdev_component(<name> SOURCES <files...> [LIBS <libs...>] [NO_DEVICE_LIBRARY])
# Declares a static, position-independent component library. Unless
# NO_DEVICE_LIBRARY is given, the component is linked whole into the
# deliverable libfpdev_quorvanta.
function(fpdev_component name)
  cmake_parse_arguments(ARG "NO_DEVICE_LIBRARY" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(ARG_LIBS)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  endif()
  if(NOT ARG_NO_DEVICE_LIBRARY)
    set_property(GLOBAL APPEND PROPERTY FPDEV_DEVICE_COMPONENTS ${name})
  endif()
endfunction()

# Builds libfpdev_quorvanta.so.0 from every component registered so far.
# The components' objects go in whole; their archives follow only for their
# usage requirements, so components may name each other in LIBS (even
# cyclically) without a member being linked twice.
function(fpdev_add_device_library)
  get_property(components GLOBAL PROPERTY FPDEV_DEVICE_COMPONENTS)
  set(objects)
  foreach(c ${components})
    list(APPEND objects $<TARGET_OBJECTS:${c}>)
  endforeach()
  add_library(fpdev_quorvanta SHARED ${PROJECT_SOURCE_DIR}/cmake/empty.c ${objects})
  set_target_properties(fpdev_quorvanta PROPERTIES
    OUTPUT_NAME fpdev_quorvanta VERSION 0.1.0 SOVERSION 0)
  target_link_libraries(fpdev_quorvanta PRIVATE
    ${components} PkgConfig::LIBUSB PkgConfig::GLIB Threads::Threads m)
  target_link_options(fpdev_quorvanta PRIVATE -Wl,--no-undefined)
endfunction()

# fpdev_test(<name> SOURCES <files...> [LIBS <libs...>] [NO_MAIN])
# A GoogleTest binary; every test runs in its own process, since the maker's
# libraries keep static state.
function(fpdev_test name)
  cmake_parse_arguments(ARG "NO_MAIN" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  if(ARG_NO_MAIN)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  else()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  endif()
  gtest_discover_tests(${name} NO_PRETTY_VALUES DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 300)
endfunction()

# fpdev_benchmark(<name> SOURCES <files...> [LIBS <libs...>])
function(fpdev_benchmark name)
  if(NOT FPDEV_BUILD_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
endfunction()
