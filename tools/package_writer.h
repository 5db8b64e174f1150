// Writing update packages: the one implementation of the format on the writing side, used by
// the release engineer's command and by every test fixture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/checksum.h"

namespace package_writer {

using Bytes = std::vector<uint8_t>;

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
// (the caller converts first), empty, longer than 15 bytes, or one the updater refuses
// (absolute, ':', a component that climbs out of the install folder).
std::string CheckMemberName(const std::string& cp932Name);

// Why a member list would be refused, or an empty string: any name CheckMemberName refuses,
// more than 24 members, two names equal after ASCII lowercasing, a member too large for the
// 32-bit positions of the format.
std::string CheckMembers(const std::vector<Member>& members);

}  // namespace package_writer
