# The lossless JPEG decoder.
add_executable(lossless_tests ${CMAKE_CURRENT_LIST_DIR}/lossless_test.cpp)
target_include_directories(lossless_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(lossless_tests PRIVATE extrout GTest::gtest_main)
gtest_discover_tests(lossless_tests DISCOVERY_TIMEOUT 60)
