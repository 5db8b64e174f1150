// Code page 932 text turned into the UTF-8 that Linux file names and terminals use.
#pragma once

#include <cstddef>

// Converts the NUL-terminated text into out (outSize bytes, NUL-terminated within them).
// False, with out left empty, when the text is not valid code page 932 or does not fit.
bool Cp932ToUtf8Into(const char* text, char* out, size_t outSize);
