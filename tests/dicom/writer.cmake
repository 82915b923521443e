# The comment writer: layouts, refusals, and failures while writing.
add_executable(writer_tests
  ${CMAKE_CURRENT_LIST_DIR}/writer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/writer_fault_test.cpp)
target_include_directories(writer_tests PRIVATE ${VARNELO_TEST_COMMON} ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(writer_tests PRIVATE dicom GTest::gtest_main)
gtest_discover_tests(writer_tests DISCOVERY_TIMEOUT 60)
