# Word lists and prompts are data files beside the code, compiled in as
# string literals: nothing to look for at run time, nothing to go missing.
# varnelo_embed_data(DIR FILE...) writes DIR/NAME.inc for each file (a raw
# string literal to #include), again whenever the file changes.
function(varnelo_embed_data dir)
  foreach(file ${ARGN})
    get_filename_component(name ${file} NAME)
    file(READ ${file} VARNELO_DATA_TEXT)
    file(CONFIGURE OUTPUT ${dir}/${name}.inc CONTENT "R\"data(@VARNELO_DATA_TEXT@)data\"\n" @ONLY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  endforeach()
endfunction()
