# Hardening: broken files and resource bounds, replays of the fuzz findings
# and corpora, and (outside the sanitizer tree itself) a second build with
# ASan + UBSan that runs the unit tests and every fuzz target for a short
# while, starting from its corpus.
set(VARNELO_HARDENING_DIR ${CMAKE_CURRENT_LIST_DIR})
include(${PROJECT_SOURCE_DIR}/fuzz/targets.cmake)
set(VARNELO_REGRESSIONS ${PROJECT_SOURCE_DIR}/tests/data/fuzz-regressions)

add_executable(hardening_broken_files ${VARNELO_HARDENING_DIR}/broken_files_test.cpp)
target_include_directories(hardening_broken_files PRIVATE ${VARNELO_TEST_COMMON})
target_link_libraries(hardening_broken_files PRIVATE dicom GTest::gtest_main)
gtest_discover_tests(hardening_broken_files TEST_PREFIX "hardening." DISCOVERY_TIMEOUT 60)

add_executable(hardening_resources ${VARNELO_HARDENING_DIR}/resources_test.cpp)
target_include_directories(hardening_resources PRIVATE ${VARNELO_TEST_COMMON})
target_link_libraries(hardening_resources PRIVATE dicom GTest::gtest_main)
target_compile_definitions(hardening_resources PRIVATE VARNELO_REGRESSIONS_DIR="${VARNELO_REGRESSIONS}")
add_test(NAME hardening.resources COMMAND hardening_resources)
# Large frames on purpose: keep it from sharing the machine with itself.
set_tests_properties(hardening.resources PROPERTIES TIMEOUT 300 RUN_SERIAL ON)

# The fuzz harnesses as plain programs: every saved finding and the corpus
# (and, for the file-level targets, every test file and sample) replayed in
# any build.
foreach(t ${VARNELO_FUZZ_TARGETS})
  add_executable(fuzz_replay_${t} ${VARNELO_FUZZ_DIR}/fuzz_${t}.cpp ${VARNELO_FUZZ_DIR}/replay_main.cpp)
  target_include_directories(fuzz_replay_${t} PRIVATE ${VARNELO_FUZZ_DIR})
  target_link_libraries(fuzz_replay_${t} PRIVATE dicom extrout)
  varnelo_fuzz_sources(fuzz_replay_${t} ${t})
  set(inputs "")
  foreach(folder ${VARNELO_REGRESSIONS}/${t} ${VARNELO_FUZZ_CORPUS}/${t})
    if(EXISTS ${folder})
      list(APPEND inputs ${folder})
    endif()
  endforeach()
  if(t STREQUAL "load" OR t STREQUAL "writer")
    list(APPEND inputs ${PROJECT_SOURCE_DIR}/tests/data ${PROJECT_SOURCE_DIR}/samples)
  endif()
  if(inputs)
    add_test(NAME fuzz_regressions.${t} COMMAND fuzz_replay_${t} ${inputs})
    set_tests_properties(fuzz_regressions.${t} PROPERTIES TIMEOUT 120)
  endif()
endforeach()

if(NOT VARNELO_SANITIZER_CHILD)
  find_program(VARNELO_CLANGXX clang++-14)
  if(NOT VARNELO_CLANGXX)
    message(WARNING "clang++-14 not found: the sanitizer and fuzz tests are left out (make deps installs it)")
  else()
    set(VARNELO_SANITIZE_TREE ${CMAKE_BINARY_DIR}/sanitize)
    set(VARNELO_FUZZ_TEST_SECONDS 10 CACHE STRING "Seconds each fuzz target runs in the test suite")

    add_test(NAME sanitize.build
             COMMAND bash ${VARNELO_HARDENING_DIR}/sanitizer-build.sh ${PROJECT_SOURCE_DIR} ${VARNELO_SANITIZE_TREE})
    set_tests_properties(sanitize.build PROPERTIES FIXTURES_SETUP sanitize_tree TIMEOUT 900 PROCESSORS 2)

    # The unit tests of the sanitizer tree, once; leaks count as failures.
    # Interoperability and packaging checks spend their time in other
    # programs (DCMTK, pydicom, dpkg) and run in the main tree already.
    add_test(NAME sanitize.unit_tests
             COMMAND ${CMAKE_CTEST_COMMAND} --test-dir ${VARNELO_SANITIZE_TREE} --output-on-failure
                     -j 2 --timeout 600 -E "interop|^packaging|make_data")
    set_tests_properties(sanitize.unit_tests PROPERTIES
      FIXTURES_REQUIRED sanitize_tree TIMEOUT 900 PROCESSORS 2
      ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:check_initialization_order=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")

    add_test(NAME sanitize.fuzz_seeds
             COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/scripts/fuzz-seeds.py ${CMAKE_BINARY_DIR}/fuzz-seeds)
    set_tests_properties(sanitize.fuzz_seeds PROPERTIES FIXTURES_SETUP fuzz_seeds TIMEOUT 300)

    foreach(t ${VARNELO_FUZZ_TARGETS})
      set(work ${CMAKE_BINARY_DIR}/fuzz-test/${t})
      set(inputs "")
      foreach(folder ${VARNELO_FUZZ_CORPUS}/${t} ${VARNELO_REGRESSIONS}/${t})
        if(EXISTS ${folder})
          list(APPEND inputs ${folder})
        endif()
      endforeach()
      # Every input of the repository's corpus and every saved finding first,
      # then a short run; what it finds goes to a fresh folder each time
      # (`make fuzz` is what merges finds into the corpus). A finding stays
      # in fuzz-test/TARGET/artifacts for triage. An input may draw a bitmap
      # of up to 1 GiB, seconds of work under the sanitizers on a busy
      # machine: the limit catches hangs, hardening.resources the bounds.
      add_test(NAME sanitize.fuzz.${t}
               COMMAND bash -c "rm -rf \"$1/corpus\" && mkdir -p \"$1/corpus\" \"$1/artifacts\" && shift && exec \"$@\""
                       fuzz-run ${work}
                       ${VARNELO_SANITIZE_TREE}/fuzz/varnelo-fuzz-${t}
                       -max_total_time=${VARNELO_FUZZ_TEST_SECONDS} -timeout=20 -rss_limit_mb=3072
                       -malloc_limit_mb=1100 -max_len=65536 -print_final_stats=1
                       -dict=${VARNELO_FUZZ_DICT_${t}} -artifact_prefix=${work}/artifacts/
                       ${work}/corpus ${CMAKE_BINARY_DIR}/fuzz-seeds/${t} ${inputs})
      set_tests_properties(sanitize.fuzz.${t} PROPERTIES
        FIXTURES_REQUIRED "sanitize_tree;fuzz_seeds" TIMEOUT 300
        ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    endforeach()
  endif()
endif()
