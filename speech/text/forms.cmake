# The written and spoken forms of clinical text: plain C++ with its word
# lists compiled in, so nothing can go missing at run time and the fuzzer
# builds exactly this code.  Sets VARNELO_TEXT_FORMS_SOURCES and
# VARNELO_TEXT_FORMS_INCLUDE for targets that compile it.
set(_forms_dir ${CMAKE_CURRENT_LIST_DIR})
file(GLOB _forms_lists CONFIGURE_DEPENDS ${_forms_dir}/forms/*.txt)
list(SORT _forms_lists)
set(_forms_body "")
foreach(_f ${_forms_lists})
  get_filename_component(_name ${_f} NAME_WE)
  file(READ ${_f} _text)
  string(FIND "${_text}" ")forms\"" _bad)
  if(NOT _bad EQUAL -1)
    message(FATAL_ERROR "${_f} holds the end marker of the string it is compiled into")
  endif()
  string(APPEND _forms_body "    {\"${_name}\", R\"forms(${_text})forms\"},\n")
endforeach()
set(_forms_out ${CMAKE_BINARY_DIR}/generated/textforms/formslists.cpp)
set(_forms_new "// Generated from speech/text/forms/*.txt by forms.cmake.\n#include \"formsdata.h\"\n\nnamespace textforms {\nconst TFormsList kFormsLists[] = {\n${_forms_body}};\nconst int kFormsListCount = int(sizeof kFormsLists / sizeof kFormsLists[0]);\n}  // namespace textforms\n")
# Written only when it changed: an unchanged list rebuilds nothing.
set(_forms_old "")
if(EXISTS ${_forms_out})
  file(READ ${_forms_out} _forms_old)
endif()
if(NOT _forms_old STREQUAL _forms_new)
  file(WRITE ${_forms_out} "${_forms_new}")
endif()
# An edited list configures again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_forms_lists})
set(VARNELO_TEXT_FORMS_SOURCES)
foreach(_f clinicalforms.h formsdata.h formsdata.cpp numberwords.h numberwords.cpp spokenform.cpp writtenform.cpp
           utf8.cpp)
  list(APPEND VARNELO_TEXT_FORMS_SOURCES ${_forms_dir}/${_f})
endforeach()
list(APPEND VARNELO_TEXT_FORMS_SOURCES ${_forms_out})
set(VARNELO_TEXT_FORMS_INCLUDE ${_forms_dir})
