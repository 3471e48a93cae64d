include(GoogleTest)
find_package(GTest REQUIRED)

# zev_add_test(<name> SOURCES <files...> [LIBS <targets...>])
# One test program; its cases are registered with CTest one by one.
function(zev_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zev_test_support GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 30
                       PROPERTIES ENVIRONMENT "ZEV_TEST_TOOLS=${CMAKE_BINARY_DIR}/bin")
endfunction()
