# Element stream, file tests and the header loader.
add_executable(foundation_tests
  ${CMAKE_CURRENT_LIST_DIR}/element_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/loader_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/charset_test.cpp)
target_include_directories(foundation_tests PRIVATE ${VARNELO_TEST_COMMON})
target_link_libraries(foundation_tests PRIVATE dicom GTest::gtest_main)
gtest_discover_tests(foundation_tests DISCOVERY_TIMEOUT 60)
