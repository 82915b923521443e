# RLE frame decoding against DCMTK (in process when libdcmtk-dev is there).
# Data: bench/rle.sh.
add_executable(bench_rle ${CMAKE_CURRENT_LIST_DIR}/rle.cpp)
target_include_directories(bench_rle PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/tests/dicom)
target_link_libraries(bench_rle PRIVATE dicom)
find_package(DCMTK CONFIG QUIET)
if(DCMTK_FOUND)
  target_compile_definitions(bench_rle PRIVATE VARNELO_BENCH_DCMTK)
  target_link_libraries(bench_rle PRIVATE DCMTK::dcmjpeg DCMTK::dcmdata)
endif()
