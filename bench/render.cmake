# Loading with the preview against DCMTK (in process when libdcmtk-dev is
# there), dcm2pnm and pydicom.
add_executable(bench_render ${CMAKE_CURRENT_LIST_DIR}/render.cpp)
target_include_directories(bench_render PRIVATE ${CMAKE_SOURCE_DIR}/tests/common)
target_link_libraries(bench_render PRIVATE dicom)
find_package(DCMTK CONFIG QUIET)
if(DCMTK_FOUND)
  target_compile_definitions(bench_render PRIVATE VARNELO_BENCH_DCMTK)
  target_link_libraries(bench_render PRIVATE DCMTK::dcmimgle DCMTK::dcmdata)
endif()
