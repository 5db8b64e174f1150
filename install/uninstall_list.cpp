// The uninstall list merge.
//
// The file is a text followed by one NUL byte. A file that breaks that shape is read so that
// nothing it holds is lost: the text is every byte of the file except a final NUL, so an
// empty file is an empty text, a file without the final NUL keeps its last byte, and a NUL
// inside the file is kept and searched past like any other byte. A text that does not end in
// a line feed gets one before the first appended line, so no name is glued to the last one.
// Only a rewrite of ours that stopped part way leaves a file without its final NUL whose last
// line is the start of the name it was appending; that line is completed, not kept as a name.
//
// The rewrite goes over the old file without truncating it first. The new content begins
// with the old text unchanged and is never shorter than the old file, so a write that stops
// part way leaves every name the list held before in place.
#include "install/uninstall_list.h"

#include <cstdlib>
#include <cstring>

#include "package/path_join.h"
#include "platform/raw_file.h"

namespace {

// The text contains name as a plain, case-sensitive byte substring. An empty name is always
// contained.
bool Contains(const char* text, uint32_t textLength, const char* name, uint32_t nameLength) {
    if (nameLength == 0) return true;
    if (nameLength > textLength) return false;
    for (uint32_t i = 0; i + nameLength <= textLength; ++i) {
        if (text[i] == name[0] && std::memcmp(text + i, name, nameLength) == 0) return true;
    }
    return false;
}

// Reads the list into buffer; its text length on success, and whether the final NUL is missing.
bool ReadList(const char* path, char* buffer, uint32_t* textLength, bool* noFinalNul) {
    RawFile list;
    if (!list.OpenRead(path)) return false;
    uint32_t size = list.Size();
    if (size == RawFile::kInvalidSize || size > kUninstallBufferSize) return false;
    if (list.Read(buffer, size) != size) return false;
    *noFinalNul = size > 0 && buffer[size - 1] != '\0';
    *textLength = *noFinalNul || size == 0 ? size : size - 1;
    // The text needs room for its terminator behind it.
    return *textLength < kUninstallBufferSize;
}

// Appends the missing names; false when they would not fit the buffer with the final NUL.
bool AppendMissing(char* buffer, uint32_t* textLength, const char* const* names, bool noFinalNul) {
    uint32_t length = *textLength;
    for (; *names != nullptr; ++names) {
        uint32_t nameLength = static_cast<uint32_t>(std::strlen(*names));
        if (Contains(buffer, length, *names, nameLength)) continue;
        // Only the first line appended can meet the fragment, which ends the text.
        if (noFinalNul) {
            noFinalNul = false;
            uint32_t lineStart = length;
            while (lineStart > 0 && buffer[lineStart - 1] != '\n') --lineStart;
            uint32_t partLength = length - lineStart;
            if (partLength > 0 && partLength < nameLength && std::memcmp(buffer + lineStart, *names, partLength) == 0) {
                length = lineStart;
            }
        }
        bool needsBreak = length > 0 && buffer[length - 1] != '\n';
        uint64_t needed = static_cast<uint64_t>(length) + needsBreak + nameLength + 1 + 1;
        if (needed > kUninstallBufferSize) return false;
        if (needsBreak) buffer[length++] = '\n';
        std::memcpy(buffer + length, *names, nameLength);
        length += nameLength;
        buffer[length++] = '\n';
    }
    *textLength = length;
    return true;
}

bool WriteList(const char* path, const char* content, uint32_t size) {
    RawFile list;
    return list.OpenRewrite(path) && list.Write(content, size) == size;
}

}  // namespace

bool AddToUninstallList(const char* installFolder, const char* const* names) {
    char path[kPathSize];
    if (!JoinPath(path, sizeof(path), installFolder, kUninstallListName)) return false;

    char* buffer = static_cast<char*>(std::malloc(kUninstallBufferSize));
    if (buffer == nullptr) return false;
    uint32_t textLength = 0;
    bool noFinalNul = false;
    bool ok = ReadList(path, buffer, &textLength, &noFinalNul) && AppendMissing(buffer, &textLength, names, noFinalNul);
    if (ok) {
        buffer[textLength] = '\0';
        ok = WriteList(path, buffer, textLength + 1);
    }
    std::free(buffer);
    return ok;
}
