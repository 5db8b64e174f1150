// Conversion between UTF-8 (the tools' text) and code page 932 (the bytes the package stores).
#pragma once

#include <string>

// False when utf8 is not valid UTF-8 or holds a character that code page 932 cannot represent
// exactly; no substitute or look-alike character is ever put in its place.
bool Utf8ToCp932(const std::string& utf8, std::string* cp932);

// False when cp932 is not a valid code page 932 byte sequence.
bool Cp932ToUtf8(const std::string& cp932, std::string* utf8);
