# The source tree stays walkable: no product file over 600 lines, no two
# folders that include each other, no include circle between speech units.
add_test(NAME layout.check COMMAND ${VARNELO_PYTHON} ${PROJECT_SOURCE_DIR}/scripts/check-layout.py ${PROJECT_SOURCE_DIR})
set_tests_properties(layout.check PROPERTIES TIMEOUT 60)
