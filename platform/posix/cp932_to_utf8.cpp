// Code page 932 to UTF-8 through the C library's iconv.
#include "platform/posix/cp932_to_utf8.h"

#include <iconv.h>

#include <cstring>

bool Cp932ToUtf8Into(const char* text, char* out, size_t outSize) {
    if (outSize == 0) return false;
    out[0] = '\0';
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    char* in = const_cast<char*>(text);
    size_t inLeft = std::strlen(text);
    char* next = out;
    size_t outLeft = outSize - 1;
    bool converted = iconv(converter, &in, &inLeft, &next, &outLeft) != static_cast<size_t>(-1) &&
                     iconv(converter, nullptr, nullptr, &next, &outLeft) != static_cast<size_t>(-1);
    iconv_close(converter);
    if (!converted) {
        out[0] = '\0';
        return false;
    }
    *next = '\0';
    return true;
}
