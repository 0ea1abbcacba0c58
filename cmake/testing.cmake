# Unit tests sit beside the code as src/**/*_test.cpp and build into one program; ctest lists
# every test case on its own (discovered when ctest runs, so sanitizer builds stay cheap).
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB_RECURSE UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*_test.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES})
target_link_libraries(unit_tests PRIVATE test_support GTest::gtest GTest::gtest_main GTest::gmock ZLIB::ZLIB)
target_compile_definitions(unit_tests PRIVATE OSTREVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                               OSTREVANE_BINARY_DIR="${CMAKE_BINARY_DIR}")
gtest_discover_tests(unit_tests DISCOVERY_MODE PRE_TEST PROPERTIES LABELS unit TIMEOUT 300)
