// Code page conversion on POSIX systems, through iconv's "CP932" table.
#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>

namespace {

// Converts the whole input or fails: iconv stops with EILSEQ at an unrepresentable character
// or an invalid sequence, and with EINVAL at one cut short at the end.
bool Convert(const char* to, const char* from, const std::string& input, std::string* output) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::string result;
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    bool ok = true;
    char buffer[256];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof(buffer);
        size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
        result.append(buffer, out - buffer);
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
        // iconv counts characters it replaced by its own choice; an exact conversion has none.
        if (done != static_cast<size_t>(-1) && done != 0) {
            ok = false;
            break;
        }
    }
    iconv_close(converter);
    if (ok) *output = result;
    return ok;
}

}  // namespace

bool Utf8ToCp932(const std::string& utf8, std::string* cp932) {
    // iconv's table maps some characters to bytes that read back as others ("¥" to 0x5C, the
    // backslash; U+301C to the full-width tilde): only a conversion that reads back as the
    // input is exact.
    std::string converted, back;
    if (!Convert("CP932", "UTF-8", utf8, &converted) || !Convert("UTF-8", "CP932", converted, &back) || back != utf8) {
        return false;
    }
    *cp932 = converted;
    return true;
}

bool Cp932ToUtf8(const std::string& cp932, std::string* utf8) { return Convert("UTF-8", "CP932", cp932, utf8); }
