// Member name rules.
#include "package/member_name.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A component of only dots and spaces with two dots or more: Windows drops trailing dots and
// spaces from a component, so ". ." or "..." may reach the file system as "..".
bool ClimbsOut(const char* begin, const char* end) {
    int dots = 0;
    for (const char* p = begin; p != end; ++p) {
        if (*p == '.') {
            ++dots;
        } else if (*p != ' ') {
            return false;
        }
    }
    return dots >= 2;
}

}  // namespace

bool IsDoubleByteCharacter(const char* text) {
    unsigned char lead = static_cast<unsigned char>(text[0]);
    if (!((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC))) return false;
    unsigned char trail = static_cast<unsigned char>(text[1]);
    return (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC);
}

void AsciiLowercase(char* text) {
    for (; *text != '\0'; ++text) {
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text + ('a' - 'A'));
    }
}

bool IsSafeMemberName(const char (&name)[kMemberNameSize]) {
    uint32_t length = 0;
    while (length < kMemberNameSize && name[length] != '\0') ++length;
    if (length == kMemberNameSize) return false;
    if (length > 0 && IsSeparator(name[0])) return false;

    const char* component = name;
    for (uint32_t i = 0; i <= length; ++i) {
        char c = name[i];
        if (i + 1 < length && IsDoubleByteCharacter(name + i)) {
            ++i;  // the trail byte may be 0x5C or any other mark byte; it is only half a character
            continue;
        }
        if (c == ':') return false;
        if (c == '\0' || IsSeparator(c)) {
            if (ClimbsOut(component, name + i)) return false;
            component = name + i + 1;
        }
    }
    return true;
}
