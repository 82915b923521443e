# Desktop integration and the Debian package: install into a scratch prefix
# and check what lands there, then build the .deb and check its contents.
set(VARNELO_PACKAGING_CHECK ${CMAKE_CURRENT_LIST_DIR}/check_install.sh)
foreach(mode install deb)
  add_test(NAME packaging_${mode}
           COMMAND bash ${VARNELO_PACKAGING_CHECK} ${mode} ${CMAKE_BINARY_DIR}
                   ${PROJECT_SOURCE_DIR} ${PROJECT_VERSION} $<TARGET_EXISTS:varnelo>)
  set_tests_properties(packaging_${mode} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endforeach()
