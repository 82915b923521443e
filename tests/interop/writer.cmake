# The comment writer's output read by DCMTK and pydicom, and the command-line
# tool killed while it writes over its own source.
add_test(NAME interop.writer_vs_dcmtk_pydicom
  COMMAND ${VARNELO_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/writer_interop.py $<TARGET_FILE:varnelo-dicom>)
add_test(NAME interop.writer_sigkill
  COMMAND ${VARNELO_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/writer_kill.py $<TARGET_FILE:varnelo-dicom>)
set_tests_properties(interop.writer_vs_dcmtk_pydicom interop.writer_sigkill PROPERTIES TIMEOUT 300)
