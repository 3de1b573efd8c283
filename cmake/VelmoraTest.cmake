include(GoogleTest)

# velmora_add_gtest(<name> SOURCES <files...> [LIBS <targets...>])
# One GoogleTest executable per source area; each test case becomes a ctest test.
function(velmora_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE velmora_core velmora_testsupport GTest::gtest GTest::gtest_main GTest::gmock ${ARG_LIBS})
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${VELMORA_BIN_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "VELMORA_BIN_DIR=${VELMORA_BIN_DIR};QT_QPA_PLATFORM=offscreen")
endfunction()

# velmora_add_qtest(<name> SOURCES <files...> [LIBS <targets...>])
# A QtTest executable for widgets, run headless; one ctest test per executable.
function(velmora_add_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE velmora_gui velmora_testsupport Qt6::Test ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${VELMORA_BIN_DIR})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "VELMORA_BIN_DIR=${VELMORA_BIN_DIR};QT_QPA_PLATFORM=offscreen")
endfunction()
