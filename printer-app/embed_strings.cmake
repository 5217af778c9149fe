# Writes a .strings file as a C++ header holding one string constant.
file(READ ${INPUT} _text)
string(REPLACE "\\" "\\\\" _text "${_text}")
string(REPLACE "\"" "\\\"" _text "${_text}")
string(REPLACE "\n" "\\n\"\n\"" _text "${_text}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}; do not edit.\nconstexpr const char ${NAME}[] =\n\"${_text}\";\n")
