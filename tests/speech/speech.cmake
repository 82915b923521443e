# The speech service: unit tests of its text handling, and end-to-end tests
# against a private PulseAudio server that each test starts and stops itself.
if(TARGET speech)
  set(SPEECH_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})
  set(SPEECH_WITH_PULSE ${SPEECH_TEST_DIR}/with-pulse.sh)

  add_executable(speech_text_tests ${SPEECH_TEST_DIR}/sptext_test.cpp)
  target_link_libraries(speech_text_tests PRIVATE speech GTest::gtest_main)
  gtest_discover_tests(speech_text_tests TEST_PREFIX "speech.text." DISCOVERY_TIMEOUT 30)

  # Written and spoken forms of clinical text, without Qt.
  add_executable(speech_textforms_tests ${SPEECH_TEST_DIR}/textforms_test.cpp)
  target_link_libraries(speech_textforms_tests PRIVATE textforms GTest::gtest_main)
  gtest_discover_tests(speech_textforms_tests TEST_PREFIX "speech.forms." DISCOVERY_TIMEOUT 30)

  # Learning the user's language: pronunciations, reading and normalising text.
  add_executable(speech_learn_tests ${SPEECH_TEST_DIR}/learn_test.cpp ${SPEECH_TEST_DIR}/speech_main.cpp)
  target_include_directories(speech_learn_tests PRIVATE ${VARNELO_TEST_COMMON})
  target_link_libraries(speech_learn_tests PRIVATE speech GTest::gtest)
  gtest_discover_tests(speech_learn_tests TEST_PREFIX "speech.learn." DISCOVERY_TIMEOUT 30)

  # The service's own files as the user may have left them; no Qt event loop.
  add_executable(speech_files_tests ${SPEECH_TEST_DIR}/storedfiles_test.cpp)
  target_link_libraries(speech_files_tests PRIVATE speech GTest::gtest_main)
  gtest_discover_tests(speech_files_tests TEST_PREFIX "speech.files." DISCOVERY_TIMEOUT 30)

  # Training: the recordings kept for a later one, the further prompts, the
  # trainer on recordings and its check (no sound server).
  add_executable(speech_training_tests ${SPEECH_TEST_DIR}/training_test.cpp ${SPEECH_TEST_DIR}/trainingcheck_test.cpp
                                       ${SPEECH_TEST_DIR}/phrases_test.cpp ${SPEECH_TEST_DIR}/speech_main.cpp)
  # The command-line trainer, to be killed part-way.
  if(TARGET varnelo-speech)
    target_compile_definitions(speech_training_tests PRIVATE VARNELO_SPEECH_TOOL="$<TARGET_FILE:varnelo-speech>")
    add_dependencies(speech_training_tests varnelo-speech)
  endif()
  target_include_directories(speech_training_tests PRIVATE ${VARNELO_TEST_COMMON})
  target_link_libraries(speech_training_tests PRIVATE speech GTest::gtest)
  gtest_discover_tests(speech_training_tests TEST_PREFIX "speech.training." DISCOVERY_TIMEOUT 30
                       PROPERTIES TIMEOUT 300 ENVIRONMENT "PULSE_SERVER=unix:/nonexistent/varnelo-no-server")

  # Playback holding back synthesis; no sound server.
  add_executable(speech_player_tests ${SPEECH_TEST_DIR}/player_test.cpp)
  target_include_directories(speech_player_tests PRIVATE ${PROJECT_SOURCE_DIR}/speech/synthesis)
  target_link_libraries(speech_player_tests PRIVATE speech GTest::gtest_main)
  gtest_discover_tests(speech_player_tests TEST_PREFIX "speech.player." DISCOVERY_TIMEOUT 30
                       PROPERTIES TIMEOUT 120 ENVIRONMENT "PULSE_SERVER=unix:/nonexistent/varnelo-no-server")

  foreach(part voice reco noserver)
    add_executable(speech_${part}_tests ${SPEECH_TEST_DIR}/${part}_test.cpp ${SPEECH_TEST_DIR}/speech_main.cpp)
    target_include_directories(speech_${part}_tests PRIVATE ${VARNELO_TEST_COMMON})
    target_link_libraries(speech_${part}_tests PRIVATE speech GTest::gtest)
    target_compile_definitions(speech_${part}_tests PRIVATE VARNELO_SPEECH_TEST_DIR="${SPEECH_TEST_DIR}")
  endforeach()

  # The build-time mix of the general model into the radiology one.
  add_executable(speech_mixlm_tests ${SPEECH_TEST_DIR}/mixlm_test.cpp)
  target_include_directories(speech_mixlm_tests SYSTEM PRIVATE $<TARGET_PROPERTY:speech_mixlm,INCLUDE_DIRECTORIES>)
  target_link_libraries(speech_mixlm_tests PRIVATE speech GTest::gtest_main)
  target_compile_definitions(speech_mixlm_tests PRIVATE VARNELO_MIXLM="$<TARGET_FILE:speech_mixlm>")
  add_dependencies(speech_mixlm_tests speech_mixlm)
  gtest_discover_tests(speech_mixlm_tests TEST_PREFIX "speech." DISCOVERY_TIMEOUT 30)

  # One server per test program, in a folder of its own.
  foreach(part voice reco)
    add_test(NAME speech.${part}
             COMMAND ${SPEECH_WITH_PULSE} ${CMAKE_CURRENT_BINARY_DIR}/pulse-${part} $<TARGET_FILE:speech_${part}_tests>
                     --gtest_filter=-VoiceServerLost.*)
    set_tests_properties(speech.${part} PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
  endforeach()
  # Stops its server half-way.
  add_test(NAME speech.serverlost
           COMMAND ${SPEECH_WITH_PULSE} ${CMAKE_CURRENT_BINARY_DIR}/pulse-serverlost $<TARGET_FILE:speech_voice_tests>
                   --gtest_filter=VoiceServerLost.*)
  set_tests_properties(speech.serverlost PROPERTIES TIMEOUT 120)

  # No sound server at all, and missing engine data; each in a process of its
  # own (the synthesiser starts once per process), the service's settings in
  # a folder of their own that goes with the test.
  foreach(suite NoServer MissingData)
    add_test(NAME speech.${suite}
             COMMAND bash ${VARNELO_TEST_COMMON}/with-folder.sh XDG_CONFIG_HOME
                     $<TARGET_FILE:speech_noserver_tests> --gtest_filter=${suite}.*)
    set_tests_properties(speech.${suite} PROPERTIES TIMEOUT 120 ENVIRONMENT
      "PULSE_SERVER=unix:/nonexistent/varnelo-no-server;QT_QPA_PLATFORM=offscreen")
  endforeach()
endif()

# The dictation corpus: the same on every run and the one the model was built
# from; broken data files refused.
if(TARGET speech_model)
  add_test(NAME speech.corpus
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/corpus_test.sh ${VARNELO_PYTHON}
                   ${PROJECT_SOURCE_DIR}/speech/model/corpus.py ${CMAKE_BINARY_DIR}/share/varnelo/speech/corpus.txt)
  set_tests_properties(speech.corpus PROPERTIES TIMEOUT 600)
endif()

# The command-line front end on good and bad recordings; no sound server.
if(TARGET varnelo-speech)
  add_test(NAME speech.tool COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/speech_tool.sh $<TARGET_FILE:varnelo-speech>)
  # Trainings check every recording: slow on a busy machine.
  set_tests_properties(speech.tool PROPERTIES TIMEOUT 900)
endif()

# The sanitizer tree (tests/hardening) builds none of the Qt GUI parts; the
# tests of the service's own files are built there from the readers'
# sources with QtCore alone, and so run under ASan + UBSan as well.
if(NOT TARGET speech AND VARNELO_SANITIZER_CHILD)
  find_package(Qt6 QUIET COMPONENTS Core)
  if(TARGET Qt6::Core)
    set(_files ${PROJECT_SOURCE_DIR}/speech)
    add_executable(speech_files_tests ${CMAKE_CURRENT_LIST_DIR}/storedfiles_test.cpp ${_files}/spsettings.cpp
      ${_files}/adaptation/keptindex.cpp ${_files}/learning/learnstore.cpp ${_files}/profile/learnedmodel.cpp
      ${_files}/profile/modelpath.cpp)
    target_include_directories(speech_files_tests PRIVATE ${_files} ${_files}/adaptation ${_files}/learning ${_files}/profile)
    target_link_libraries(speech_files_tests PRIVATE Qt6::Core GTest::gtest_main)
    gtest_discover_tests(speech_files_tests TEST_PREFIX "speech.files." DISCOVERY_TIMEOUT 60)
  endif()
endif()
