# Link button, utility library, language support, about box (offscreen Qt).
if(TARGET support)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(support_tests
    ${CMAKE_CURRENT_LIST_DIR}/support_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/linkbutton_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/orvolib_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/langsupp_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/myabout_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/own_home_test.cpp)
  set_target_properties(support_tests PROPERTIES AUTOMOC ON)
  target_include_directories(support_tests PRIVATE ${VARNELO_TEST_COMMON})
  target_link_libraries(support_tests PRIVATE support Qt6::Test GTest::gtest)
  varnelo_embed_version(support_tests VERSION 0.9.3.0)

  # A second program with another version, and one without any.
  add_executable(support_version_probe ${CMAKE_CURRENT_LIST_DIR}/version_probe.c)
  varnelo_embed_version(support_version_probe VERSION 1.2.3.4)
  add_executable(support_no_version ${CMAKE_CURRENT_LIST_DIR}/version_probe.c)
  target_compile_definitions(support_tests PRIVATE
    VERSION_PROBE="$<TARGET_FILE:support_version_probe>"
    NO_VERSION_PROBE="$<TARGET_FILE:support_no_version>")
  add_dependencies(support_tests support_version_probe support_no_version)

  gtest_discover_tests(support_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")

  # Shows the splash or the about box on a real display (scripts/shots-support.sh).
  add_executable(support_show ${CMAKE_CURRENT_LIST_DIR}/support_show.cpp)
  target_link_libraries(support_show PRIVATE support)
  varnelo_embed_version(support_show)
endif()
