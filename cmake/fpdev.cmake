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
  # Only the interfaces leave the library, without the tests' hooks; the
  # components keep their symbols for the tests, which link the archives.
  set(map ${PROJECT_BINARY_DIR}/fpdev_quorvanta.map)
  set(archives)
  foreach(c ${components})
    list(APPEND archives $<TARGET_FILE:${c}>)
  endforeach()
  string(REPLACE ";" "|" archives "${archives}")
  add_custom_command(OUTPUT ${map}
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DIN=${PROJECT_SOURCE_DIR}/cmake/fpdev_quorvanta.map.in
            -DOUT=${map} "-DARCHIVES=${archives}"
            -P ${PROJECT_SOURCE_DIR}/cmake/fpdev_version_script.cmake
    DEPENDS ${components} ${PROJECT_SOURCE_DIR}/cmake/fpdev_quorvanta.map.in
            ${PROJECT_SOURCE_DIR}/cmake/fpdev_version_script.cmake
    COMMENT "Version script of libfpdev_quorvanta" VERBATIM)
  add_custom_target(fpdev_quorvanta_map DEPENDS ${map})
  add_dependencies(fpdev_quorvanta fpdev_quorvanta_map)
  target_link_options(fpdev_quorvanta PRIVATE -Wl,--no-undefined -Wl,--version-script=${map})
  set_property(TARGET fpdev_quorvanta APPEND PROPERTY LINK_DEPENDS ${map})
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

# fpdev_folder_component(<name> [LIBS <libs...>])
# A component of every .cpp file in the calling folder, so that adding a unit
# needs no edit here. A folder with no units yet gives an interface target,
# so that other components can already name it.
function(fpdev_folder_component name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    fpdev_component(${name} SOURCES ${sources} LIBS ${ARG_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_LIBS})
  endif()
endfunction()

# fpdev_folder_tests(LIBS <libs...>)
# Every *_test.cpp of the calling folder becomes its own test binary and every
# *_benchmark.cpp its own benchmark; the folder's other .cpp files are shared
# fixtures linked into each. A test named *_alloc_test.cpp also gets the
# failing-allocation hook of tests/src (fpdev_alloc_fault).
function(fpdev_folder_tests)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(tests)
  set(benches)
  set(fixtures)
  foreach(f ${all})
    if(f MATCHES "_test\\.cpp$")
      list(APPEND tests ${f})
    elseif(f MATCHES "_benchmark\\.cpp$")
      list(APPEND benches ${f})
    else()
      list(APPEND fixtures ${f})
    endif()
  endforeach()
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(libs ${ARG_LIBS})
  if(fixtures)
    set(fixture_lib ${folder}_test_fixtures)
    add_library(${fixture_lib} STATIC ${fixtures})
    target_include_directories(${fixture_lib} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${fixture_lib} PUBLIC ${ARG_LIBS} GTest::gtest)
    list(PREPEND libs ${fixture_lib})
  endif()
  foreach(f ${tests})
    get_filename_component(name ${f} NAME_WE)
    fpdev_test(${name} SOURCES ${f} LIBS ${libs})
    if(name MATCHES "_alloc_test$" AND COMMAND fpdev_alloc_fault)
      fpdev_alloc_fault(${name})
    endif()
  endforeach()
  foreach(f ${benches})
    get_filename_component(name ${f} NAME_WE)
    fpdev_benchmark(${name} SOURCES ${f} LIBS ${libs})
  endforeach()
endfunction()
