# The speech service: word highlight latency against the sink's clock,
# phrase latency after the end of speech, dictation real-time factor.
# Run by bench/speech.sh against a private PulseAudio server.
if(TARGET speech)
  add_executable(bench_speech ${CMAKE_CURRENT_LIST_DIR}/speech.cpp)
  target_link_libraries(bench_speech PRIVATE speech)
endif()
if(TARGET speech)
  add_executable(bench_dictation ${CMAKE_CURRENT_LIST_DIR}/dictation.cpp)
  target_link_libraries(bench_dictation PRIVATE speech)
endif()
