# The main window's speech toolbar end to end: against a private sound server
# (one per test program, in a folder of its own), without any server, and
# without the synthesiser's data (the synthesiser starts once per process, so
# each case runs in a process of its own).
if(TARGET varnelo_app AND TARGET speech)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(app_speech_tests ${CMAKE_CURRENT_LIST_DIR}/speech_tests.cpp)
  target_include_directories(app_speech_tests PRIVATE ${VARNELO_TEST_COMMON})
  target_link_libraries(app_speech_tests PRIVATE varnelo_app speech Qt6::Test GTest::gtest)
  set(APP_SPEECH_WITH_PULSE ${CMAKE_CURRENT_LIST_DIR}/../speech/with-pulse.sh)

  add_test(NAME app.speech
           COMMAND ${APP_SPEECH_WITH_PULSE} ${CMAKE_CURRENT_BINARY_DIR}/pulse-app-speech
                   $<TARGET_FILE:app_speech_tests> --gtest_filter=AppSpeech.*)
  set_tests_properties(app.speech PROPERTIES TIMEOUT 900 RUN_SERIAL TRUE)

  add_test(NAME app.speech.MissingData
           COMMAND ${APP_SPEECH_WITH_PULSE} ${CMAKE_CURRENT_BINARY_DIR}/pulse-app-speech-missing
                   $<TARGET_FILE:app_speech_tests> --gtest_filter=AppSpeechMissingData.*)
  set_tests_properties(app.speech.MissingData PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE)

  add_test(NAME app.speech.NoServer
           COMMAND bash ${VARNELO_TEST_COMMON}/with-folder.sh XDG_CONFIG_HOME
                   $<TARGET_FILE:app_speech_tests> --gtest_filter=AppSpeechNoServer.*)
  set_tests_properties(app.speech.NoServer PROPERTIES TIMEOUT 120 ENVIRONMENT
    "PULSE_SERVER=unix:/nonexistent/varnelo-no-server;QT_QPA_PLATFORM=offscreen")
endif()

# Not a test: the window mid-reading and with the Configure menu open, for
# scripts/shots-speech.sh.
if(TARGET varnelo_app AND TARGET speech)
  add_executable(speech_shot ${CMAKE_CURRENT_LIST_DIR}/speech_shot.cpp)
  target_link_libraries(speech_shot PRIVATE varnelo_app speech Qt6::Test)
endif()
