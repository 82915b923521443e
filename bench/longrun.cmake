# Long runs of the main window: continuous dictation, read-back of a very
# long comment, a thousand selections.  Run by bench/longrun.sh.
if(TARGET varnelo_app AND TARGET speech)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(bench_longrun
    ${CMAKE_CURRENT_LIST_DIR}/longrun.cpp
    ${CMAKE_CURRENT_LIST_DIR}/longrun_dictation.cpp
    ${CMAKE_CURRENT_LIST_DIR}/longrun_readback.cpp
    ${CMAKE_CURRENT_LIST_DIR}/longrun_select.cpp)
  target_include_directories(bench_longrun PRIVATE ${CMAKE_SOURCE_DIR}/tests/common ${CMAKE_SOURCE_DIR}/tests/app)
  target_link_libraries(bench_longrun PRIVATE varnelo_app speech Qt6::Test)
endif()
