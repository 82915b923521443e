# The preview renderer: unit tests, and the comparison with a numpy model of
# the rules over pydicom's test files and DCMTK-made variants of them.
add_executable(render_test ${CMAKE_CURRENT_LIST_DIR}/render_test.cpp)
target_include_directories(render_test PRIVATE ${VARNELO_TEST_COMMON})
target_link_libraries(render_test PRIVATE dicom extrout JPEG::JPEG GTest::gtest_main)
gtest_discover_tests(render_test DISCOVERY_TIMEOUT 60)

add_test(NAME render_interop
         COMMAND ${VARNELO_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/../interop/render_reference.py
                 --tool $<TARGET_FILE:varnelo-dicom>)
set_tests_properties(render_interop PROPERTIES TIMEOUT 300)
# 12-bit streams for the tests come from the decoder's own library.
target_sources(render_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/jpeg12_encoder.cpp)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/jpeg12_encoder.cpp PROPERTIES INCLUDE_DIRECTORIES ${IJG12_INCLUDE_DIR})
target_link_libraries(render_test PRIVATE ${IJG12_LIBRARY})
# Bitmaps rendered into the block an earlier bitmap let go of.
add_executable(render_reuse_test ${CMAKE_CURRENT_LIST_DIR}/render_reuse_test.cpp)
target_include_directories(render_reuse_test PRIVATE ${VARNELO_TEST_COMMON})
target_link_libraries(render_reuse_test PRIVATE dicom GTest::gtest_main)
gtest_discover_tests(render_reuse_test DISCOVERY_TIMEOUT 60)
