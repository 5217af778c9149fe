# The interface languages for the build's test lists, read from the rows of
# LanguageRows() (src/localization.cpp) and the languages' files, so that a
# language added there reaches every test with no list edited by hand.
#
# plovex_read_languages(<file>) sets in the caller's scope
#   PLOVEX_LANGUAGES                  the codes in LANGID order (the
#                                     language dialog's order)
#   PLOVEX_LANGUAGE_<code>_LANGID     the Windows language identifier
#   PLOVEX_LANGUAGE_<code>_LANG       the POSIX locale Wine runs it under
#                                     ("ja_JP.UTF-8")
#   PLOVEX_LANGUAGE_<code>_TITLE      the main window's title in it
# and writes <file> with one "code|LANG|LANGID|title" line a language, in
# the same order, for the Wine scripts. A row the pattern does not read
# stops the configuration; the shell's tests compare the list with the
# table as the program sees it.
set(_plovex_table ${CMAKE_CURRENT_LIST_DIR}/src/localization.cpp)
set(_plovex_content ${CMAKE_CURRENT_LIST_DIR}/../archive/content)

function(plovex_read_languages out_file)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_plovex_table})
  file(STRINGS ${_plovex_table} _rows REGEX "^ *{ *\\.code *=" ENCODING UTF-8)
  set(_keyed)
  foreach(_row IN LISTS _rows)
    if(NOT _row MATCHES "^ *{ *\\.code *= *L\"([a-z]+)\" *, *\\.langId *= *([0-9]+) *, *\\.locale *= *L\"([a-z]+)-([A-Z]+)\"")
      message(FATAL_ERROR "languages.cmake cannot read this row of ${_plovex_table}:\n${_row}")
    endif()
    set(_code ${CMAKE_MATCH_1})
    set(_langid ${CMAKE_MATCH_2})
    set(_langid_${_code} ${_langid})
    set(PLOVEX_LANGUAGE_${_code}_LANGID ${_langid} PARENT_SCOPE)
    set(_lang_${_code} "${CMAKE_MATCH_3}_${CMAKE_MATCH_4}.UTF-8")
    set(PLOVEX_LANGUAGE_${_code}_LANG ${_lang_${_code}} PARENT_SCOPE)
    set(_file ${_plovex_content}/lan_${_code}.xml)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_file})
    set(_title_${_code} "")
    if(EXISTS ${_file})
      file(STRINGS ${_file} _title REGEX "id=\"mainTitle\"" ENCODING UTF-8)
      if(_title MATCHES "value=\"([^\"]*)\"")
        set(_title_${_code} "${CMAKE_MATCH_1}")
      endif()
    endif()
    if(_title_${_code} STREQUAL "")
      message(WARNING "lan_${_code}.xml is missing or has no mainTitle: the language tests will fail")
    endif()
    set(PLOVEX_LANGUAGE_${_code}_TITLE "${_title_${_code}}" PARENT_SCOPE)
    string(LENGTH ${_langid} _digits)
    string(SUBSTRING "00000${_langid}" ${_digits} 5 _padded)
    list(APPEND _keyed "${_padded}:${_code}")
  endforeach()
  list(SORT _keyed)
  set(_codes)
  set(_text "")
  foreach(_entry IN LISTS _keyed)
    string(REGEX REPLACE "^0*([0-9]+):(.*)$" "\\2" _code ${_entry})
    list(APPEND _codes ${_code})
    string(APPEND _text "${_code}|${_lang_${_code}}|${_langid_${_code}}|${_title_${_code}}\n")
  endforeach()
  if(NOT _codes)
    message(FATAL_ERROR "languages.cmake found no rows in ${_plovex_table}")
  endif()
  file(CONFIGURE OUTPUT ${out_file} CONTENT "${_text}" @ONLY)
  set(PLOVEX_LANGUAGES ${_codes} PARENT_SCOPE)
endfunction()
