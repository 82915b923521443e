# Encapsulated pixel data: RLE, frame 1 from its fragments, and lossless JPEG
# and RLE frames against DCMTK.
add_executable(encaps_tests ${CMAKE_CURRENT_LIST_DIR}/encaps_test.cpp)
target_include_directories(encaps_tests PRIVATE ${VARNELO_TEST_COMMON} ${CMAKE_CURRENT_LIST_DIR}
  ${CMAKE_CURRENT_LIST_DIR}/../extrout)
target_link_libraries(encaps_tests PRIVATE dicom GTest::gtest_main)
gtest_discover_tests(encaps_tests DISCOVERY_TIMEOUT 60)

add_executable(encaps_interop_tests ${CMAKE_CURRENT_LIST_DIR}/encaps_interop_test.cpp)
target_include_directories(encaps_interop_tests PRIVATE ${VARNELO_TEST_COMMON} ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(encaps_interop_tests PRIVATE dicom GTest::gtest_main)

add_executable(encaps_make_restart ${CMAKE_CURRENT_LIST_DIR}/encaps_make_restart.cpp)
target_include_directories(encaps_make_restart PRIVATE ${VARNELO_TEST_COMMON} ${CMAKE_CURRENT_LIST_DIR}/../extrout)

set(ENCAPS_DATA ${CMAKE_CURRENT_BINARY_DIR}/encaps_data)
add_test(NAME encaps_make_data
  COMMAND ${CMAKE_COMMAND} -E env VARNELO_PYTHON=${VARNELO_PYTHON}
          sh ${CMAKE_CURRENT_LIST_DIR}/../interop/encaps_make.sh ${ENCAPS_DATA} $<TARGET_FILE:encaps_make_restart>)
set_tests_properties(encaps_make_data PROPERTIES FIXTURES_SETUP encaps_data TIMEOUT 300)
add_test(NAME encaps_interop COMMAND encaps_interop_tests)
set_tests_properties(encaps_interop PROPERTIES FIXTURES_REQUIRED encaps_data
  ENVIRONMENT VARNELO_ENCAPS_DATA=${ENCAPS_DATA} TIMEOUT 120)

# JPEG-LS and JPEG 2000 frames; CharLS also makes the test streams.
pkg_check_modules(ENCAPS_CHARLS REQUIRED IMPORTED_TARGET charls)
add_executable(encaps_jpegext_tests ${CMAKE_CURRENT_LIST_DIR}/encaps_jpegext_test.cpp)
target_include_directories(encaps_jpegext_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(encaps_jpegext_tests PRIVATE dicom PkgConfig::ENCAPS_CHARLS GTest::gtest_main)
gtest_discover_tests(encaps_jpegext_tests DISCOVERY_TIMEOUT 60)
