# Fails when the link map of Plovex.exe (-DMAP=...) shows an object or a
# symbol of the simulated machine or of the toolkit's headless host.
if(NOT EXISTS "${MAP}")
  message(FATAL_ERROR "no link map at ${MAP}")
endif()
file(READ "${MAP}" map)
# A map without the real platform layer is not the program's map.
if(NOT map MATCHES "win32_platform\\.cpp\\.obj")
  message(FATAL_ERROR "${MAP} does not look like the program's link map")
endif()
foreach(pattern
    "sim_[a-z_]+\\.cpp\\.obj"             # objects of platform/sim
    "default_platform_sim\\.cpp\\.obj"
    "host_headless\\.cpp\\.obj"
    "8platform3sim"                       # symbols in platform::sim
    "7toolkit8headless")                  # symbols in toolkit::headless
  string(REGEX MATCH "[^\n]*${pattern}[^\n]*" hit "${map}")
  if(hit)
    message(FATAL_ERROR "Plovex.exe links a test double: ${hit}")
  endif()
endforeach()
message(STATUS "no test doubles in ${MAP}")
