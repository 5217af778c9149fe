# Fails when the program's import table names a DLL outside Windows' known
# DLLs.  A statically imported DLL is loaded before the program's first
# instruction, with the program's own folder first in the search, unless it
# is a known DLL, which Windows always maps from its system folder.
#   cmake -DOBJDUMP=<objdump> -DPROGRAM=<file.exe> -P check-imports.cmake
#
# The list: the values under HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\
# Control\Session Manager\KnownDLLs that every Windows from 7 to 11 has
# (GDI+, for one, joined the list only with Windows 10), in lower case.
cmake_minimum_required(VERSION 3.20)

set(known
  advapi32.dll clbcatq.dll comdlg32.dll difxapi.dll gdi32.dll imagehlp.dll imm32.dll kernel32.dll
  msctf.dll msvcrt.dll normaliz.dll nsi.dll ole32.dll oleaut32.dll psapi.dll rpcrt4.dll sechost.dll
  setupapi.dll shell32.dll shlwapi.dll user32.dll wldap32.dll ws2_32.dll)

execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" entries "${dump}")
if(NOT entries)
  message(FATAL_ERROR "no import table found in ${PROGRAM}")
endif()
set(foreign "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^DLL Name: " "" name "${entry}")
  string(STRIP "${name}" name)
  string(TOLOWER "${name}" lower)
  if(NOT lower IN_LIST known)
    list(APPEND foreign ${name})
  endif()
  message(STATUS "imports ${name}")
endforeach()
if(foreign)
  message(FATAL_ERROR "imports DLLs that are not known DLLs: ${foreign}")
endif()
