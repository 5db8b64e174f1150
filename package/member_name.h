// Names as the package stores them: ASCII-only case folding and the rule that keeps every
// member inside the install folder.
#pragma once

#include "package/package_format.h"

// True when text starts with one double-byte character of code page 932: a lead byte followed
// by a byte that can end a character. After a lead byte anything else is a character of its
// own, and Windows sees it as such.
bool IsDoubleByteCharacter(const char* text);

// Raises 'A'..'Z' to 'a'..'z' in place; every other byte, double-byte halves included, stays.
void AsciiLowercase(char* text);

// True when a directory entry's name may be written into the install folder: NUL-terminated
// within its field, not absolute (no leading backslash or slash), no ':' (drive letters,
// alternate data streams) and no component that climbs out (".." and the runs of dots and
// spaces that Windows trims to it). Folder parts inside the install folder are allowed.
// The name is code page 932 text: the second byte of a double-byte character (a lead byte
// followed by a valid trail byte) is never taken for a separator or one of these marks.
bool IsSafeMemberName(const char (&name)[kMemberNameSize]);
