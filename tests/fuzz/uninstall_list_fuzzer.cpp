// Fuzz target over the uninstall list merge. The input is one control byte, the bytes of
// "uninst.lst", and then the names to add, each introduced by a 0xFF byte (a byte that code
// page 932 text never holds); a name ends at its first NUL byte.
//
// The control byte shapes the folder. From 0xE0 up it pads the list in front with filler to
// 1 MiB less (control - 0xE0) bytes, so that the names meet the edge of the merge's fixed
// buffer; such inputs are slow, hence the narrow range. Below it, bit 0x01 leaves the list out
// and bit 0x02 marks it read-only.
//
// On every input: true means the old text is the start of the new file, every name is in it,
// nothing but the names' lines was added and the file ends in its NUL; false leaves the file
// as it was. A list that exists, may be written and has room must give true.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "install/uninstall_list.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/test_files.h"

using fuzz_support::Fail;

namespace {

constexpr uint8_t kNameMark = 0xFF;
constexpr uint8_t kPadded = 0xE0;
constexpr uint8_t kNoList = 0x01;
constexpr uint8_t kReadOnly = 0x02;

struct Case {
    bool listExists = true;
    bool readOnly = false;
    std::string list;
    std::vector<std::string> names;
};

Case Split(const uint8_t* data, size_t size) {
    Case c;
    if (size == 0) return c;
    uint8_t control = data[0];
    const char* begin = reinterpret_cast<const char*>(data + 1);
    const char* end = reinterpret_cast<const char*>(data + size);
    const char* mark = static_cast<const char*>(std::memchr(begin, kNameMark, end - begin));
    c.list.assign(begin, mark != nullptr ? mark : end);
    while (mark != nullptr) {
        const char* name = mark + 1;
        mark = static_cast<const char*>(std::memchr(name, kNameMark, end - name));
        std::string piece(name, mark != nullptr ? mark : end);
        c.names.push_back(piece.substr(0, piece.find('\0')));
    }
    if (control >= kPadded) {
        size_t target = kUninstallBufferSize - (control - kPadded);
        if (c.list.size() < target) c.list.insert(0, target - c.list.size(), '#');
    } else {
        c.listExists = (control & kNoList) == 0;
        c.readOnly = (control & kReadOnly) != 0;
    }
    return c;
}

bool Contains(const std::string& text, const std::string& name) {
    return name.empty() || text.find(name) != std::string::npos;
}

// The text is the file without one final NUL; a file that lacks it keeps its last byte.
std::string TextOf(std::string list) {
    if (!list.empty() && list.back() == '\0') list.pop_back();
    return list;
}

void CheckMerged(const Case& c, const std::string& merged) {
    std::string oldText = TextOf(c.list);
    if (merged.size() <= oldText.size() || merged.compare(0, oldText.size(), oldText) != 0) {
        Fail("the old text is not the start of the new list");
    }
    if (merged.back() != '\0') Fail("the new list does not end in NUL");
    std::string added = merged.substr(oldText.size(), merged.size() - oldText.size() - 1);
    if (added.find('\0') != std::string::npos) Fail("a NUL was appended inside the text");
    size_t room = 1;  // a line feed that ends an old last line
    for (const std::string& name : c.names) room += name.size() + 1;
    if (added.size() > room) Fail("more was appended than the names' lines");
    std::string newText = merged.substr(0, merged.size() - 1);
    for (const std::string& name : c.names) {
        if (!Contains(newText, name)) Fail("name '" + name + "' is missing from the new list");
    }
}

// Whether a careful merge must succeed: the list is there and writable, and its text, the
// lines of the names it does not yet contain (after a line feed that ends an unfinished last
// line) and the final NUL fit into the buffer.
bool MustSucceed(const Case& c) {
    if (!c.listExists || c.readOnly) return false;
    std::string text = TextOf(c.list);
    for (const std::string& name : c.names) {
        if (Contains(text, name)) continue;
        if (!text.empty() && text.back() != '\n') text += '\n';
        text += name + '\n';
    }
    return text.size() + 1 <= kUninstallBufferSize;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static test_support::TempFolder folder;
    if (folder.Path().empty()) Fail("no temporary folder");
    const std::string listPath = folder.Path() + "/uninst.lst";

    Case c = Split(data, size);
    fuzz_support::EmptyFolder(folder.Path());
    if (c.listExists) fuzz_support::PutFile(listPath, c.list.data(), c.list.size(), c.readOnly ? 0444 : 0644);

    std::vector<const char*> names;
    for (const std::string& name : c.names) names.push_back(name.c_str());
    names.push_back(nullptr);
    bool ok = AddToUninstallList(folder.Path().c_str(), names.data());

    std::string after;
    bool listThere = fuzz_support::GetFile(listPath, &after);
    if (listThere != c.listExists) Fail(c.listExists ? "the list disappeared" : "a list was created");
    if (fuzz_support::CountEntries(folder.Path()) != (c.listExists ? 1u : 0u)) {
        Fail("another file appeared in the install folder");
    }
    if (ok) {
        if (!c.listExists || c.readOnly) Fail("true without a writable list");
        CheckMerged(c, after);
    } else {
        if (MustSucceed(c)) Fail("false for a writable list with room");
        if (listThere && after != c.list) Fail("false, but the list changed");
    }
    return 0;
}
