# The lossless JPEG decoder.
add_executable(lossless_tests ${CMAKE_CURRENT_LIST_DIR}/lossless_test.cpp)
target_include_directories(lossless_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(lossless_tests PRIVATE extrout GTest::gtest_main)
gtest_discover_tests(lossless_tests DISCOVERY_TIMEOUT 60)
# The whole suite again on the portable build of the scan loop, which a
# processor with BMI2 never takes by itself.
add_test(NAME lossless.portable_scan COMMAND lossless_tests)
set_tests_properties(lossless.portable_scan PROPERTIES ENVIRONMENT "VARNELO_LOSSLESS_SCAN=portable" TIMEOUT 300)
