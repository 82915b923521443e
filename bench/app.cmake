# The main window's responsiveness: selection to preview, and a 10,000-file
# folder opening without stalling the event loop. Run by bench/app.sh.
if(TARGET varnelo_app)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(bench_app ${CMAKE_CURRENT_LIST_DIR}/app.cpp)
  target_include_directories(bench_app PRIVATE ${CMAKE_SOURCE_DIR}/tests/common ${CMAKE_SOURCE_DIR}/tests/app)
  target_link_libraries(bench_app PRIVATE varnelo_app Qt6::Test)
endif()
