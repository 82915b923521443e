# The main window's GUI tests: offscreen, the real window and its models.
if(TARGET varnelo_app)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(app_tests ${CMAKE_CURRENT_LIST_DIR}/app_tests.cpp ${CMAKE_CURRENT_LIST_DIR}/dicomfiles.h)
  target_include_directories(app_tests PRIVATE ${VARNELO_TEST_COMMON} ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(app_tests PRIVATE varnelo_app Qt6::Test GTest::gtest)
  set_target_properties(app_tests PROPERTIES AUTOMOC ON)
  gtest_discover_tests(app_tests TEST_PREFIX "app."
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120
    DISCOVERY_TIMEOUT 60)
endif()

# Not a test: shows the window with a file selected, for scripts/shots-app.sh.
if(TARGET varnelo_app)
  add_executable(app_shot ${CMAKE_CURRENT_LIST_DIR}/app_shot.cpp)
  target_link_libraries(app_shot PRIVATE varnelo_app Qt6::Test)
endif()
