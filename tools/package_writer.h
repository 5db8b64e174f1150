// Writing update packages: the one implementation of the format on the writing side, used by
// the release engineer's command and by every test fixture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "package/checksum.h"

namespace package_writer {

using Bytes = std::vector<uint8_t>;

// The updater positions in its own file with signed 32-bit offsets, so no byte of an updater
// file may lie at 2^31 or beyond.
constexpr uint64_t kMaxUpdaterFileSize = 0x7FFFFFFFu;

// One package member: its name as stored (code page 932 bytes) and its content.
struct Member {
    std::string name;
    Bytes data;
};

// One line of the hash list: a file name (code page 932 bytes) and its checksum.
struct HashedFile {
    std::string name;
    FileChecksum checksum;
};

FileChecksum ChecksumOf(const Bytes& data);

// The hash list member's bytes: header "ZRT_____", reserved 0, the count, then one 64-byte
// entry per file in the given order. Names longer than 55 bytes are cut to fit the field
// (CheckHashedName refuses them first where that matters).
Bytes BuildHashList(const std::vector<HashedFile>& files);

// The updater file: stub, zero bytes up to 0x60000, header "PackFile    " with the entry
// count, the directory, and the members back to back in directory order from offset 0.
// No policy checks: names are cut to 16 bytes, the count is whatever members holds. Tests use
// this directly for packages the updater must refuse. Empty result if the stub is too large.
Bytes LayOutUpdater(const Bytes& stub, const std::vector<Member>& members);

// Why a member name would be refused, or an empty string when it is fine: not representable
// (the caller converts first), empty, longer than 15 bytes, one the updater refuses
// (absolute, ':', a component that climbs out of the install folder), or one Windows cannot
// create (control characters, <>"|?*, a part ending in a dot or space, a device name).
std::string CheckMemberName(const std::string& cp932Name);

// Why a hash list entry name would be refused, or an empty string: empty, a NUL byte, longer
// than 55 bytes.
std::string CheckHashedName(const std::string& cp932Name);

// The ASCII-lowercased form in which the updater compares names.
std::string LowercasedName(const std::string& cp932Name);

// The first refused member of a list: its index, the reason (without the name) and, for a
// name clash, the index of the member it clashes with.
struct MemberRefusal {
    size_t index = 0;
    std::string reason;
    size_t clashesWith = static_cast<size_t>(-1);
    explicit operator bool() const { return !reason.empty(); }
};
MemberRefusal FindRefusal(const std::vector<Member>& members);

// Why a member list would be refused, or an empty string: any name CheckMemberName refuses,
// more than 24 members, two names equal after ASCII lowercasing, a member too large for the
// 32-bit positions of the format. The message starts with the member's stored name.
std::string CheckMembers(const std::vector<Member>& members);

}  // namespace package_writer
