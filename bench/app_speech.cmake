# The main window's speech side: word selection and phrase insertion latency
# through the real window. Run by bench/app_speech.sh.
if(TARGET varnelo_app AND TARGET speech)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(bench_app_speech ${CMAKE_CURRENT_LIST_DIR}/app_speech.cpp)
  target_link_libraries(bench_app_speech PRIVATE varnelo_app speech Qt6::Test)
endif()
