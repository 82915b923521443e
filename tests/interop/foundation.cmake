# The header walk against pydicom and DCMTK.
add_test(NAME interop.header_vs_pydicom
  COMMAND ${VARNELO_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/header_vs_pydicom.py $<TARGET_FILE:varnelo-dicom>)
add_test(NAME interop.encodings_same_header
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/encodings_same_header.sh $<TARGET_FILE:varnelo-dicom>
          ${CMAKE_SOURCE_DIR}/samples/grey-ramp-commented.dcm)
