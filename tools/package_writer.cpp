// The package writer: hash list and updater file layout, and the rules a member list must meet.
#include "tools/package_writer.h"

#include <algorithm>
#include <cstring>

#include "package/member_name.h"
#include "package/package_format.h"

namespace package_writer {

namespace {

void Append(Bytes& out, const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

// Copies at most maxLength bytes of name into a fixed field, the rest NUL.
template <size_t N>
void FillName(char (&field)[N], const std::string& name, size_t maxLength) {
    std::memset(field, 0, N);
    std::memcpy(field, name.data(), std::min({name.size(), maxLength, N}));
}

// Names that Windows maps to devices in every folder, with or without an extension: a member
// written under one of them would vanish into the device and still count as written.
bool IsDeviceName(std::string component) {
    size_t dot = component.find('.');
    if (dot != std::string::npos) component.resize(dot);
    while (!component.empty() && component.back() == ' ') component.pop_back();
    for (char& c : component) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
    }
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* device : kDevices) {
        if (component == device) return true;
    }
    return component.size() == 4 && (component.compare(0, 3, "COM") == 0 || component.compare(0, 3, "LPT") == 0) &&
           component[3] >= '1' && component[3] <= '9';
}

// Why Windows could not create a file of this name, or an empty string. Trail bytes of
// double-byte characters are skipped: 0x7C ('|') and 0x5C ('\') occur there.
std::string WindowsNameProblem(const std::string& name) {
    std::string component;
    auto endComponent = [&]() -> std::string {
        // "a\\b" or "data\" would name no file to write.
        if (component.empty()) return "has an empty part between separators or at its end";
        if (component.back() == '.' || component.back() == ' ') {
            return "ends in a dot or a space, which Windows drops from file names";
        }
        if (IsDeviceName(component)) return "is a Windows device name";
        component.clear();
        return "";
    };
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (i + 1 < name.size() && IsDoubleByteCharacter(name.c_str() + i)) {
            component += name.substr(i, 2);
            ++i;
            continue;
        }
        if (c < 0x20) return "holds a control character";
        if (std::strchr("<>\"|?*", c) != nullptr) {
            return std::string("holds '") + static_cast<char>(c) + "', which Windows forbids in file names";
        }
        if (c == '\\' || c == '/') {
            std::string why = endComponent();
            if (!why.empty()) return why;
            continue;
        }
        component += static_cast<char>(c);
    }
    return endComponent();
}

}  // namespace

std::string LowercasedName(const std::string& cp932Name) {
    std::string lowered = cp932Name;
    // The updater's own lowercasing, so that writer and updater agree on which names collide.
    AsciiLowercase(&lowered[0]);
    return lowered;
}

FileChecksum ChecksumOf(const Bytes& data) {
    FileChecksum state = {};
    // In pieces, so that sizes beyond 32 bits would still be folded whole.
    const uint8_t* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        uint32_t piece = static_cast<uint32_t>(std::min<size_t>(left, 0x40000000u));
        UpdateChecksum(&state, p, piece);
        p += piece;
        left -= piece;
    }
    return state;
}

Bytes BuildHashList(const std::vector<HashedFile>& files) {
    Bytes out;
    out.reserve(sizeof(HashListHeader) + files.size() * sizeof(HashListEntry));
    HashListHeader header = {};
    std::memcpy(header.magic, kHashListMagic, sizeof(header.magic));
    header.reserved = 0;
    header.hashCount = static_cast<uint32_t>(files.size());
    Append(out, &header, sizeof(header));
    for (const HashedFile& file : files) {
        HashListEntry entry = {};
        FillName(entry.name, file.name, kHashEntryNameSize - 1);
        entry.checksum = file.checksum;
        Append(out, &entry, sizeof(entry));
    }
    return out;
}

Bytes LayOutUpdater(const Bytes& stub, const std::vector<Member>& members) {
    if (stub.size() > kPackageOffset) return Bytes();
    Bytes out(stub);
    out.resize(kPackageOffset, 0);

    PackageHeader header = {};
    std::memcpy(header.signature, kPackageSignature, sizeof(header.signature));
    header.entryCount = static_cast<uint32_t>(members.size());
    Append(out, &header, sizeof(header));

    uint32_t offset = 0;
    for (const Member& member : members) {
        PackageEntry entry = {};
        // All 16 bytes may be used: tests build unterminated names the updater must refuse.
        FillName(entry.name, member.name, kMemberNameSize);
        entry.offset = offset;
        entry.size = static_cast<uint32_t>(member.data.size());
        Append(out, &entry, sizeof(entry));
        offset += entry.size;
    }
    for (const Member& member : members) Append(out, member.data.data(), member.data.size());
    return out;
}

std::string CheckMemberName(const std::string& cp932Name) {
    if (cp932Name.empty()) return "the name is empty";
    if (cp932Name.find('\0') != std::string::npos) return "the name holds a NUL byte";
    if (cp932Name.size() > kMemberNameSize - 1) {
        return "the name is " + std::to_string(cp932Name.size()) + " bytes in code page 932; at most " +
               std::to_string(kMemberNameSize - 1) + " fit";
    }
    char field[kMemberNameSize];
    FillName(field, cp932Name, kMemberNameSize - 1);
    if (!IsSafeMemberName(field)) {
        return "the updater refuses the name (absolute, holds ':' or a part that leaves the install folder)";
    }
    std::string why = WindowsNameProblem(cp932Name);
    if (!why.empty()) return "the name " + why;
    return "";
}

std::string CheckHashedName(const std::string& cp932Name) {
    if (cp932Name.empty()) return "the name is empty";
    if (cp932Name.find('\0') != std::string::npos) return "the name holds a NUL byte";
    if (cp932Name.size() > kHashEntryNameSize - 1) {
        return "the name is " + std::to_string(cp932Name.size()) + " bytes in code page 932; a hash list entry holds at most " +
               std::to_string(kHashEntryNameSize - 1);
    }
    return "";
}

MemberRefusal FindRefusal(const std::vector<Member>& members) {
    for (size_t i = 0; i < members.size(); ++i) {
        std::string why = CheckMemberName(members[i].name);
        if (!why.empty()) return {i, why};
    }
    if (members.size() > kMaxPackageEntries) {
        return {kMaxPackageEntries, "a package holds at most " + std::to_string(kMaxPackageEntries) + " members"};
    }
    for (size_t i = 0; i < members.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (LowercasedName(members[i].name) == LowercasedName(members[j].name)) {
                return {i, "the name equals member " + std::to_string(j + 1) + "'s when letter case is ignored", j};
            }
        }
    }
    uint64_t end = kDirectoryOffset + members.size() * sizeof(PackageEntry);
    for (size_t i = 0; i < members.size(); ++i) {
        end += members[i].data.size();
        if (end > kMaxUpdaterFileSize) {
            return {i, "too large: the updater file would pass " + std::to_string(kMaxUpdaterFileSize) +
                           " bytes, the last position the updater can seek to"};
        }
    }
    return {};
}

std::string CheckMembers(const std::vector<Member>& members) {
    MemberRefusal refusal = FindRefusal(members);
    if (!refusal) return "";
    return members[refusal.index].name + ": " + refusal.reason;
}

}  // namespace package_writer
