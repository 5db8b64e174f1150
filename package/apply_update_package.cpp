// Applying the update package: read the directory and the hash list from the own file, then
// per member read, checksum, compare and write, and finally extend the uninstall list.
#include "package/apply_update_package.h"

#include <cstdlib>
#include <cstring>

#include "install/uninstall_list.h"
#include "package/checksum.h"
#include "package/member_name.h"
#include "package/package_format.h"
#include "package/path_join.h"
#include "platform/file_attributes.h"
#include "platform/own_file.h"
#include "platform/raw_file.h"

namespace {

// Buffers hold exactly what is read into them; a request for 0 bytes still gets a block of
// its own, so empty directories, tables and members take the normal path.
void* Allocate(uint64_t size) {
    if (size > 0xFFFFFFFFu) return nullptr;
    return std::malloc(size == 0 ? 1 : static_cast<size_t>(size));
}

// A file position made of the data base and a member offset, or false when it does not fit
// in 32 bits (RawFile::Seek then refuses anything from 2^31 on).
bool SeekMember(RawFile& file, uint32_t dataBase, uint32_t offset) {
    uint64_t position = static_cast<uint64_t>(dataBase) + offset;
    return position <= 0xFFFFFFFFu && file.Seek(static_cast<uint32_t>(position));
}

// True when length bytes from position lie inside the file. Only then is a buffer taken for
// them: a size that the file cannot hold never costs an allocation, it is a short read.
bool FitsInFile(uint64_t position, uint64_t length, uint32_t fileSize) {
    return position + length <= fileSize;
}

struct HashTable {
    HashListEntry* entries = nullptr;
    uint32_t count = 0;
    // The table lies in the file but no memory could be had for it. The members are then not
    // written at all: writing them unverified would let a damaged member replace a sound file
    // only because memory was short.
    bool noMemory = false;
};

// A malformed or missing list means no hash list: the members are then written unverified.
HashTable LoadHashList(RawFile& ownFile, uint32_t fileSize, uint32_t dataBase, const PackageEntry& member) {
    HashTable table;
    if (!SeekMember(ownFile, dataBase, member.offset)) return table;
    HashListHeader header;
    if (ownFile.Read(&header, sizeof(header)) != sizeof(header)) return table;
    if (std::memcmp(header.magic, kHashListMagic, sizeof(header.magic)) != 0) return table;
    // The member's size is not consulted: the table is as long as hashCount says, and one that
    // runs past the end of the file is no table.
    uint64_t tableSize = static_cast<uint64_t>(header.hashCount) * sizeof(HashListEntry);
    uint64_t tableStart = static_cast<uint64_t>(dataBase) + member.offset + sizeof(header);
    if (!FitsInFile(tableStart, tableSize, fileSize)) return table;
    auto* entries = static_cast<HashListEntry*>(Allocate(tableSize));
    if (entries == nullptr) {
        table.noMemory = true;
        return table;
    }
    if (ownFile.Read(entries, static_cast<uint32_t>(tableSize)) != tableSize) {
        std::free(entries);
        return table;
    }
    table.entries = entries;
    table.count = header.hashCount;
    return table;
}

// The first hash entry whose name equals lowercasedName after lowercasing, or null.
const HashListEntry* FindHashEntry(const HashTable& table, const char* lowercasedName) {
    char entryName[kPathSize];
    for (uint32_t i = 0; i < table.count; ++i) {
        // Names are NUL-terminated inside their field; the copy makes sure of it.
        std::memcpy(entryName, table.entries[i].name, kHashEntryNameSize);
        entryName[kHashEntryNameSize] = '\0';
        AsciiLowercase(entryName);
        if (std::strcmp(entryName, lowercasedName) == 0) return &table.entries[i];
    }
    return nullptr;
}

bool IsHashListName(const PackageEntry& entry) {
    char name[kPathSize];
    std::memcpy(name, entry.name, kMemberNameSize);
    name[kMemberNameSize] = '\0';
    AsciiLowercase(name);
    return std::strcmp(name, kHashListName) == 0;
}

// One member's bytes at a time. The block is kept for the next member when that one fits,
// since fresh memory costs a page fault per page on first touch, which for large members takes
// longer than reading them; it grows to the largest member so far, which is the peak anyway.
class MemberBuffer {
public:
    MemberBuffer() = default;
    ~MemberBuffer() { Release(); }
    MemberBuffer(const MemberBuffer&) = delete;
    MemberBuffer& operator=(const MemberBuffer&) = delete;

    // A block of at least size bytes, or null when it cannot be had.
    void* Reserve(uint32_t size) {
        if (bytes_ != nullptr && size <= capacity_) return bytes_;
        Release();
        bytes_ = Allocate(size);
        capacity_ = bytes_ != nullptr ? size : 0;
        return bytes_;
    }
    void Release() {
        std::free(bytes_);
        bytes_ = nullptr;
        capacity_ = 0;
    }

private:
    void* bytes_ = nullptr;
    uint32_t capacity_ = 0;
};

// Reads, verifies and writes one member; UPDATE_OK when it is in place.
uint32_t ApplyMember(RawFile& ownFile, uint32_t fileSize, uint32_t dataBase, const PackageEntry& entry,
                     const HashTable& hashTable, const char* installFolder, MemberBuffer& buffer) {
    if (!SeekMember(ownFile, dataBase, entry.offset)) return UPDATE_E_PACKAGE_READ;
    if (!FitsInFile(static_cast<uint64_t>(dataBase) + entry.offset, entry.size, fileSize)) return UPDATE_E_PACKAGE_READ;
    void* bytes = buffer.Reserve(entry.size);
    if (bytes == nullptr || ownFile.Read(bytes, entry.size) != entry.size) return UPDATE_E_PACKAGE_READ;

    FileChecksum checksum = {};
    UpdateChecksum(&checksum, bytes, entry.size);

    // One buffer holds the lowercased name for the lookup, then the target path.
    char nameBuffer[kPathSize];
    std::memcpy(nameBuffer, entry.name, kMemberNameSize);
    AsciiLowercase(nameBuffer);
    const HashListEntry* expected = FindHashEntry(hashTable, nameBuffer);
    if (expected != nullptr && !ChecksumsEqual(checksum, expected->checksum)) return UPDATE_E_CHECKSUM;

    if (!JoinPath(nameBuffer, sizeof(nameBuffer), installFolder, entry.name)) return UPDATE_E_CREATE_FILE;
    MakeFileReplaceable(nameBuffer);
    RawFile target;
    uint32_t result = UPDATE_E_CREATE_FILE;
    // A write that stores fewer bytes than the member holds leaves a truncated file: a failure.
    if (target.OpenWrite(nameBuffer) && target.Write(bytes, entry.size) == entry.size) result = UPDATE_OK;
    target.Close();
    return result;
}

uint32_t ApplyDirectory(RawFile& ownFile, uint32_t fileSize, const PackageEntry* directory, uint32_t entryCount,
                        const char** writtenNames, const char* installFolder) {
    // Checked before anything is written, so a hostile name leaves the folder untouched.
    for (uint32_t i = 0; i < entryCount; ++i) {
        if (!IsSafeMemberName(directory[i].name)) return UPDATE_E_PACKAGE_READ;
    }

    uint32_t dataBase = kDirectoryOffset + entryCount * static_cast<uint32_t>(sizeof(PackageEntry));
    HashTable hashTable;
    for (uint32_t i = 0; i < entryCount; ++i) {
        // Only the first member of that name counts, even when it yields no list.
        if (IsHashListName(directory[i])) {
            hashTable = LoadHashList(ownFile, fileSize, dataBase, directory[i]);
            break;
        }
    }
    if (hashTable.noMemory) return UPDATE_E_PACKAGE_READ;

    uint32_t result = UPDATE_OK;
    MemberBuffer buffer;
    for (uint32_t i = 0; i < entryCount && result == UPDATE_OK; ++i) {
        result = ApplyMember(ownFile, fileSize, dataBase, directory[i], hashTable, installFolder, buffer);
        if (result == UPDATE_OK) writtenNames[i] = directory[i].name;
    }
    // Released before the uninstall list takes its buffer.
    buffer.Release();
    std::free(hashTable.entries);
    if (result != UPDATE_OK) return result;
    return AddToUninstallList(installFolder, writtenNames) ? UPDATE_OK : UPDATE_E_UNINSTALL_LIST;
}

}  // namespace

uint32_t ApplyUpdatePackageFrom(const char* ownPath, const char* installFolder) {
    RawFile ownFile;
    if (!ownFile.OpenRead(ownPath)) return UPDATE_E_PACKAGE_READ;
    uint32_t size = ownFile.Size();
    if (size == RawFile::kInvalidSize || size < kPackageOffset) return UPDATE_E_PACKAGE_READ;

    PackageHeader header;
    if (!ownFile.Seek(kPackageOffset) || ownFile.Read(&header, sizeof(header)) != sizeof(header)) {
        return UPDATE_E_PACKAGE_READ;
    }
    if (header.entryCount > kMaxPackageEntries) return UPDATE_E_TOO_MANY_ENTRIES;

    uint32_t directorySize = header.entryCount * static_cast<uint32_t>(sizeof(PackageEntry));
    auto* directory = static_cast<PackageEntry*>(Allocate(directorySize));
    auto* writtenNames = static_cast<const char**>(Allocate((header.entryCount + 1) * sizeof(const char*)));
    uint32_t result = UPDATE_E_PACKAGE_READ;
    // The directory follows the header directly: no seek.
    if (directory != nullptr && writtenNames != nullptr &&
        ownFile.Read(directory, directorySize) == directorySize) {
        for (uint32_t i = 0; i <= header.entryCount; ++i) writtenNames[i] = nullptr;
        result = ApplyDirectory(ownFile, size, directory, header.entryCount, writtenNames, installFolder);
    }
    std::free(writtenNames);
    std::free(directory);
    return result;
}

uint32_t ApplyUpdatePackage(const char* installFolder) {
    // Should the lookup leave the buffer as it was, the relative name is what gets opened.
    char ownPath[kPathSize] = "setup.exe";
    GetOwnFilePath(ownPath, sizeof(ownPath));
    return ApplyUpdatePackageFrom(ownPath, installFolder);
}
