// The update package appended to the updater's own file, record by record. All integers are
// little-endian; the records are read and written as raw bytes on little-endian machines.
#pragma once

#include <cstdint>

#include "package/checksum.h"

// The package starts here; the program image and zero bytes fill the file before it.
constexpr uint32_t kPackageOffset = 0x60000;
constexpr uint32_t kMaxPackageEntries = 24;
constexpr uint32_t kMemberNameSize = 16;
constexpr uint32_t kHashEntryNameSize = 56;
// The hash list member, found by comparing ASCII-lowercased names.
constexpr char kHashListName[] = "cvn.hvl";
constexpr char kPackageSignature[] = "PackFile    ";
constexpr char kHashListMagic[] = "ZRT_____";

struct PackageHeader {
    char signature[12];  // "PackFile    ", not tested by the updater
    uint32_t entryCount;
};
static_assert(sizeof(PackageHeader) == 16, "package header is 16 bytes");

// Member data lies at dataBase + offset, dataBase being the first byte after the directory.
struct PackageEntry {
    char name[kMemberNameSize];  // NUL-terminated inside the field
    uint32_t offset;
    uint32_t size;
    uint8_t reserved[8];
};
static_assert(sizeof(PackageEntry) == 32, "directory entry is 32 bytes");

struct HashListHeader {
    char magic[8];  // "ZRT_____", no terminator
    uint32_t reserved;
    uint32_t hashCount;
};
static_assert(sizeof(HashListHeader) == 16, "hash list header is 16 bytes");

struct HashListEntry {
    char name[kHashEntryNameSize];  // NUL-terminated inside the field
    FileChecksum checksum;
};
static_assert(sizeof(HashListEntry) == 64, "hash list entry is 64 bytes");

constexpr uint32_t kDirectoryOffset = kPackageOffset + sizeof(PackageHeader);
