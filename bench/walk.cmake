add_executable(bench_walk ${CMAKE_CURRENT_LIST_DIR}/walk.cpp)
target_include_directories(bench_walk PRIVATE ${CMAKE_SOURCE_DIR}/tests/common)
target_link_libraries(bench_walk PRIVATE dicom)
