# Writes a C++ file that defines `const std::string& FUNCTION()` returning the bytes of INPUT:
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DFUNCTION=Name -DHEADER=include/path.h -P embed_text.cmake
# The bytes are written as numbers, so that any text (quotes, backslashes, `)"`) comes through.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" length)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n    " bytes "${bytes}")
math(EXPR size "${length} / 2")
file(WRITE "${OUTPUT}.new"
"// Made at build time from ${INPUT} by cmake/embed_text.cmake: do not edit.
#include \"${HEADER}\"

namespace {
const unsigned char kBytes[${size} + 1] = {
    ${bytes}};
}  // namespace

const std::string& ${FUNCTION}() {
  static const std::string text(reinterpret_cast<const char*>(kBytes), ${size});
  return text;
}
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
