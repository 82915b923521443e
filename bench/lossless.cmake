# Lossless JPEG frame decoding against DCMTK (in process when libdcmtk-dev is
# there). Data: bench/lossless.sh.
add_executable(bench_lossless ${CMAKE_CURRENT_LIST_DIR}/lossless.cpp)
target_include_directories(bench_lossless PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/tests/dicom)
target_link_libraries(bench_lossless PRIVATE dicom)
find_package(DCMTK CONFIG QUIET)
if(DCMTK_FOUND)
  target_compile_definitions(bench_lossless PRIVATE VARNELO_BENCH_DCMTK)
  target_link_libraries(bench_lossless PRIVATE DCMTK::dcmjpeg DCMTK::dcmdata)
endif()
