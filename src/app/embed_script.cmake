# Writes OUTPUT, a C++ source holding the bytes of INPUT as
# ONDARIA_SCRIPT_TEXT / ONDARIA_SCRIPT_SIZE.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUTPUT}
  "// Generated from ondaria.rot by embed_script.cmake; do not edit.\n"
  "#include <cstddef>\n"
  "extern const unsigned char ONDARIA_SCRIPT_TEXT[] = {${bytes}};\n"
  "extern const size_t ONDARIA_SCRIPT_SIZE = ${size};\n")
