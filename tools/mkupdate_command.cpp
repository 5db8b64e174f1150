// The verbs of mkupdate: build writes an updater file, inspect reads one back and checks it,
// checksum prints file checksums. Every failure becomes one "mkupdate: FILE: reason" line.
#include "tools/mkupdate_command.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "package/checksum.h"
#include "package/member_name.h"
#include "package/package_format.h"
#include "platform/codepage.h"
#include "tools/package_writer.h"
#include "tools/tool_files.h"

using package_writer::Bytes;
using tool_files::FileError;

namespace {

// The hash list's stored name; the updater finds it by its lowercased form kHashListName.
constexpr char kGeneratedHashListName[] = "CVN.hvl";

const char kMainUsage[] =
    "usage: mkupdate <command> [options] [files]\n"
    "\n"
    "Writes and checks updater files: the updater program with its update package appended\n"
    "at offset 0x60000.\n"
    "\n"
    "commands:\n"
    "  build     write an updater file from a stub and the member files\n"
    "  inspect   show the package of an updater file and check every member\n"
    "  checksum  print the file checksum of each file\n"
    "\n"
    "\"mkupdate <command> --help\" describes a command. Exit codes: 0 success, 1 failure,\n"
    "2 wrong usage.\n";

const char kBuildUsage[] =
    "usage: mkupdate build --stub STUB -o OUT [--reference DIR] [--no-hash-list] MEMBER...\n"
    "\n"
    "Writes the updater file OUT: the program image STUB (at most 393216 bytes), zero bytes up\n"
    "to offset 0x60000, then the package: header, directory and the member files back to back,\n"
    "in the order given.\n"
    "\n"
    "  MEMBER            a file to carry, stored under its file name\n"
    "  NAME=PATH         the file PATH, stored under NAME (NAME may hold a folder part with\n"
    "                    '\\'; that folder must exist in the install folder). An argument\n"
    "                    with '/' or ':' before its first '=' is a plain path: ./a=b is\n"
    "                    the file a=b\n"
    "  --stub STUB       the updater program image\n"
    "  -o, --output OUT  the file to write; written under a temporary name beside it and\n"
    "                    renamed at the end, so a failed run leaves OUT as it was\n"
    "  --reference DIR   the complete new game folder: the hash list then also names every\n"
    "                    file directly in DIR (subfolders are not looked into)\n"
    "  --no-hash-list    carry no hash list; the updater then writes every member unverified\n"
    "\n"
    "The hash list is generated as the last member, CVN.hvl. It names the members in their\n"
    "order, then the files of DIR that are not members, sorted by their code page 932 bytes.\n"
    "A file of DIR with the name of a member must have the member's checksum. A file named\n"
    "cvn.hvl in DIR is left out: the list never names itself.\n"
    "\n"
    "Names are stored in code page 932. A member name holds at most 15 bytes, a hash list name\n"
    "at most 55. A package holds at most 24 members, the hash list among them; no two member\n"
    "names may be equal when ASCII letter case is ignored. Names the updater refuses\n"
    "(absolute, ':' or a part of dots) and names Windows cannot create are refused.\n";

const char kInspectUsage[] =
    "usage: mkupdate inspect FILE\n"
    "\n"
    "Prints the package header of the updater file FILE, every member (name, offset from the\n"
    "data area, size, checksum as 16 hex digits in stored byte order) with the outcome of its\n"
    "check against the hash list (verified, unverified or FAILED), and the hash list entries.\n"
    "Bytes behind the last member, such as the certificate table that signing appends, are\n"
    "shown as a note: the updater does not read them.\n"
    "Exits with 1 and names the problem for a damaged or truncated file.\n";

const char kChecksumUsage[] =
    "usage: mkupdate checksum FILE...\n"
    "\n"
    "Prints the file checksum of each FILE as the hash list stores it: 16 hex digits in stored\n"
    "byte order, then the file's path.\n";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string Hex(const FileChecksum& checksum) {
    uint8_t bytes[sizeof(FileChecksum)];
    std::memcpy(bytes, &checksum, sizeof(bytes));
    std::string text;
    char digits[3];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof(digits), "%02x", byte);
        text += digits;
    }
    return text;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool IsValidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        uint32_t point = length == 1 ? c : c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            point = (point << 6) | (next & 0x3F);
        }
        static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

// Stored bytes as readable text: code page 932 turned into UTF-8, anything else and control
// bytes shown as \xNN.
std::string Printable(const std::string& stored) {
    std::string utf8;
    bool converted = Cp932ToUtf8(stored, &utf8);
    const std::string& text = converted ? utf8 : stored;
    std::string shown;
    char escape[5];
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || (!converted && c >= 0x80)) {
            std::snprintf(escape, sizeof(escape), "\\x%02x", c);
            shown += escape;
        } else {
            shown += ch;
        }
    }
    return shown;
}

// The UTF-8 name in code page 932, or a FileError for file that says why it cannot be.
std::string StoredName(const std::string& file, const std::string& utf8Name) {
    if (!IsValidUtf8(utf8Name)) throw FileError(file, "the name " + Quoted(Printable(utf8Name)) + " is not valid UTF-8");
    std::string cp932;
    if (!Utf8ToCp932(utf8Name, &cp932)) {
        throw FileError(file, "code page 932 cannot represent the name " + Quoted(utf8Name));
    }
    return cp932;
}

// Up to the first NUL inside a fixed field.
std::string FieldText(const char* field, size_t size) {
    const char* end = static_cast<const char*>(std::memchr(field, '\0', size));
    return std::string(field, end != nullptr ? end : field + size);
}

// Columns a UTF-8 text takes on a terminal: Japanese characters take two, half-width
// katakana one.
size_t DisplayWidth(const std::string& text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) == 0x80) continue;
        bool halfWidthKana = c == 0xEF && i + 1 < text.size() &&
                             (static_cast<unsigned char>(text[i + 1]) == 0xBD || static_cast<unsigned char>(text[i + 1]) == 0xBE);
        width += c >= 0xE0 && !halfWidthKana ? 2 : 1;
    }
    return width;
}

std::string Padded(std::string text, size_t width) {
    size_t shown = DisplayWidth(text);
    if (shown < width) text.append(width - shown, ' ');
    return text;
}

bool WantsHelp(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "--") return false;
        if (argument == "-h" || argument == "--help") return true;
    }
    return false;
}

// ---- build

struct MemberArgument {
    std::string name;  // UTF-8, as the member is to be stored
    std::string path;  // UTF-8
};

struct BuildOptions {
    std::string stub;
    std::string output;
    std::string reference;
    bool hashList = true;
    std::vector<MemberArgument> members;
};

MemberArgument ParseMember(const std::string& argument) {
    size_t equals = argument.find('=');
    // "./a=b" and "C:\\x\\a=b" are the file a=b: a member name never holds '/' or ':', so an
    // '=' after one of them belongs to the path.
    if (equals != std::string::npos && argument.find_first_of("/:") > equals) {
        MemberArgument member{argument.substr(0, equals), argument.substr(equals + 1)};
        if (member.path.empty()) throw UsageError(Quoted(argument) + ": no file after '='");
        return member;
    }
    std::string name = tool_files::FileNameOf(argument);
    if (name.empty() || name == "." || name == "..") {
        throw FileError(argument, "names a folder, not a file");
    }
    return {name, argument};
}

BuildOptions ParseBuild(const std::vector<std::string>& arguments) {
    BuildOptions options;
    bool haveStub = false, haveOutput = false, haveReference = false;
    bool onlyMembers = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (onlyMembers || argument.empty() || argument[0] != '-' || argument == "-") {
            options.members.push_back(ParseMember(argument));
            continue;
        }
        if (argument == "--") {
            onlyMembers = true;
            continue;
        }
        if (argument == "--no-hash-list") {
            options.hashList = false;
            continue;
        }
        struct Valued {
            const char* longName;
            const char* shortName;
            std::string* value;
            bool* seen;
        };
        const Valued valued[] = {
            {"--stub", nullptr, &options.stub, &haveStub},
            {"--output", "-o", &options.output, &haveOutput},
            {"--reference", nullptr, &options.reference, &haveReference},
        };
        bool matched = false;
        for (const Valued& option : valued) {
            std::string longPrefix = std::string(option.longName) + "=";
            std::string value;
            if (argument.compare(0, longPrefix.size(), longPrefix) == 0) {
                value = argument.substr(longPrefix.size());
            } else if (argument == option.longName || (option.shortName != nullptr && argument == option.shortName)) {
                if (i + 1 >= arguments.size()) throw UsageError(argument + " needs a value");
                value = arguments[++i];
            } else {
                continue;
            }
            if (*option.seen) throw UsageError(std::string(option.longName) + " is given twice");
            if (value.empty()) throw UsageError(std::string(option.longName) + " needs a value");
            *option.value = value;
            *option.seen = true;
            matched = true;
            break;
        }
        if (!matched) throw UsageError("unknown option " + Quoted(argument));
    }
    if (!haveStub) throw UsageError("build needs --stub STUB");
    if (!haveOutput) throw UsageError("build needs -o OUT");
    if (options.members.empty()) throw UsageError("build needs at least one member file");
    if (haveReference && !options.hashList) throw UsageError("--reference feeds the hash list; it cannot go with --no-hash-list");
    return options;
}

struct ReferenceFile {
    std::string path;    // UTF-8, for messages
    std::string stored;  // code page 932
    FileChecksum checksum;
};

// The hash list entries: members in their order, then the reference files that are no
// members, sorted by their stored bytes.
std::vector<package_writer::HashedFile> HashListEntries(const BuildOptions& options,
                                                        const std::vector<package_writer::Member>& members) {
    std::vector<package_writer::HashedFile> entries;
    for (const package_writer::Member& member : members) {
        entries.push_back({member.name, package_writer::ChecksumOf(member.data)});
    }
    if (options.reference.empty()) return entries;

    std::vector<ReferenceFile> references;
    for (const std::string& name : tool_files::FilesInFolder(options.reference)) {
        std::string path = tool_files::JoinPath(options.reference, name);
        std::string stored = StoredName(path, name);
        if (package_writer::LowercasedName(stored) == kHashListName) continue;
        std::string why = package_writer::CheckHashedName(stored);
        if (!why.empty()) throw FileError(path, why);
        references.push_back({path, stored, tool_files::ChecksumOfFile(path)});
    }
    std::sort(references.begin(), references.end(),
              [](const ReferenceFile& a, const ReferenceFile& b) { return a.stored < b.stored; });
    for (size_t i = 1; i < references.size(); ++i) {
        if (package_writer::LowercasedName(references[i].stored) == package_writer::LowercasedName(references[i - 1].stored)) {
            throw FileError(references[i].path, "its name equals that of " + references[i - 1].path +
                                                    " when letter case is ignored; the updater could not tell them apart");
        }
    }
    for (const ReferenceFile& reference : references) {
        std::string lowered = package_writer::LowercasedName(reference.stored);
        bool isMember = false;
        for (size_t m = 0; m < members.size(); ++m) {
            if (package_writer::LowercasedName(members[m].name) != lowered) continue;
            isMember = true;
            FileChecksum memberChecksum = package_writer::ChecksumOf(members[m].data);
            if (!ChecksumsEqual(memberChecksum, reference.checksum)) {
                throw FileError(reference.path, "differs from the member " + options.members[m].path + " (checksum " +
                                                    Hex(reference.checksum) + ", the member's " + Hex(memberChecksum) + ")");
            }
        }
        if (!isMember) entries.push_back({reference.stored, reference.checksum});
    }
    return entries;
}

int Build(const std::vector<std::string>& arguments, CommandOutput* output) {
    BuildOptions options = ParseBuild(arguments);
    const std::vector<MemberArgument>& given = options.members;

    size_t room = kMaxPackageEntries - (options.hashList ? 1 : 0);
    if (given.size() > room) {
        throw FileError(given[room].path, "a package holds at most " + std::to_string(kMaxPackageEntries) + " members" +
                                              (options.hashList ? ", the generated hash list CVN.hvl among them" : ""));
    }

    // Names first: a refused name should not wait for large files to be read.
    std::vector<package_writer::Member> members(given.size());
    for (size_t i = 0; i < given.size(); ++i) {
        members[i].name = StoredName(given[i].path, given[i].name);
        std::string why = package_writer::CheckMemberName(members[i].name);
        if (!why.empty()) throw FileError(given[i].path, "member name " + Quoted(given[i].name) + ": " + why);
    }
    for (size_t i = 0; i < given.size(); ++i) {
        std::string lowered = package_writer::LowercasedName(members[i].name);
        if (options.hashList && lowered == kHashListName) {
            throw FileError(given[i].path, "member name " + Quoted(given[i].name) +
                                               " is the generated hash list's (CVN.hvl); carry a list of your own with --no-hash-list");
        }
        for (size_t j = 0; j < i; ++j) {
            if (package_writer::LowercasedName(members[j].name) == lowered) {
                throw FileError(given[i].path, "member name " + Quoted(given[i].name) + " equals that of " + given[j].path +
                                                   " (" + Quoted(given[j].name) + ") when letter case is ignored");
            }
        }
    }

    Bytes stub = tool_files::ReadWholeFile(options.stub, kPackageOffset);
    uint64_t fixedPart = kDirectoryOffset + (given.size() + 1) * sizeof(PackageEntry);
    for (size_t i = 0; i < given.size(); ++i) {
        members[i].data = tool_files::ReadWholeFile(given[i].path, package_writer::kMaxUpdaterFileSize - fixedPart);
    }

    size_t hashedCount = 0;
    if (options.hashList) {
        std::vector<package_writer::HashedFile> entries = HashListEntries(options, members);
        hashedCount = entries.size();
        members.push_back({kGeneratedHashListName, package_writer::BuildHashList(entries)});
    }

    // The whole list once more, for what only the whole list shows: the sum of the sizes.
    package_writer::MemberRefusal refusal = package_writer::FindRefusal(members);
    if (refusal) {
        std::string file = refusal.index < given.size() ? given[refusal.index].path : options.output;
        throw FileError(file, refusal.reason);
    }

    Bytes updater = package_writer::LayOutUpdater(stub, members);
    tool_files::ReplaceFile(options.output, updater);

    output->out += "wrote " + options.output + ": " + std::to_string(updater.size()) + " bytes, " +
                   std::to_string(members.size()) + " members";
    if (options.hashList) output->out += ", hash list of " + std::to_string(hashedCount) + " entries";
    output->out += "\n";
    return kExitOk;
}

// ---- inspect

uint32_t Read32(const Bytes& file, uint64_t at) {
    if (at + 4 > file.size()) return 0;
    return static_cast<uint32_t>(file[at]) | static_cast<uint32_t>(file[at + 1]) << 8 |
           static_cast<uint32_t>(file[at + 2]) << 16 | static_cast<uint32_t>(file[at + 3]) << 24;
}

// What lies behind the last member's bytes. The updater reads its package by the directory
// and never looks there, so it is a note, not a problem. Signing appends the Authenticode
// certificate table at the end of the file (after zero padding to 8 bytes), and the stub's PE
// security directory names it: that one is recognised.
std::string TrailingBytesNote(const Bytes& file, uint64_t packageEnd) {
    if (file.size() <= packageEnd) return "";
    uint64_t trailing = file.size() - packageEnd;
    uint32_t peAt = Read32(file, 0x3C);
    if (file.size() >= 2 && file[0] == 'M' && file[1] == 'Z' && Read32(file, peAt) == 0x00004550) {
        uint64_t optionalAt = uint64_t{peAt} + 24;
        uint32_t magic = Read32(file, optionalAt) & 0xFFFF;
        // Data directory 4 (security) sits 128 bytes into a PE32 optional header, 144 into PE32+.
        uint64_t securityAt = optionalAt + (magic == 0x20B ? 144 : 128);
        uint64_t tableAt = Read32(file, securityAt), tableSize = Read32(file, securityAt + 4);
        bool padding = tableAt >= packageEnd && tableAt - packageEnd < 8 &&
                       std::all_of(file.begin() + packageEnd, file.begin() + tableAt, [](uint8_t b) { return b == 0; });
        if ((magic == 0x10B || magic == 0x20B) && tableSize != 0 && padding && tableAt + tableSize == file.size()) {
            return "signature: an Authenticode certificate table of " + std::to_string(tableSize) +
                   " bytes behind the package (the updater ignores it)\n";
        }
    }
    return "note: " + std::to_string(trailing) + " bytes behind the package belong to no member; the updater ignores them\n";
}

struct MemberState {
    std::string shown;
    bool readable = false;
};

int Inspect(const std::vector<std::string>& arguments, CommandOutput* output) {
    std::vector<std::string> files;
    for (const std::string& argument : arguments) {
        if (argument.size() > 1 && argument[0] == '-' && argument != "--") throw UsageError("unknown option " + Quoted(argument));
        if (argument != "--") files.push_back(argument);
    }
    if (files.size() != 1) throw UsageError("inspect takes one file");
    const std::string& path = files[0];

    Bytes file = tool_files::ReadWholeFile(path, package_writer::kMaxUpdaterFileSize);
    std::vector<std::string> problems;
    auto finish = [&]() {
        for (const std::string& problem : problems) output->err += "mkupdate: " + path + ": " + problem + "\n";
        return problems.empty() ? kExitOk : kExitFailure;
    };

    std::string& out = output->out;
    out += "file: " + path + " (" + std::to_string(file.size()) + " bytes)\n";
    if (file.size() < kPackageOffset) {
        problems.push_back("short file: " + std::to_string(file.size()) +
                           " bytes, but the package starts at offset 0x60000 (393216)");
        return finish();
    }
    if (file.size() < kDirectoryOffset) {
        problems.push_back("short package header: " + std::to_string(file.size() - kPackageOffset) +
                           " bytes at 0x60000 where it takes 16");
        return finish();
    }
    PackageHeader header;
    std::memcpy(&header, &file[kPackageOffset], sizeof(header));
    std::string signature(header.signature, sizeof(header.signature));
    out += "package: signature " + Quoted(Printable(signature)) + ", " + std::to_string(header.entryCount) + " entries";
    if (std::memcmp(header.signature, kPackageSignature, sizeof(header.signature)) != 0) {
        problems.push_back("the package header's signature is not \"PackFile    \"");
    }
    if (header.entryCount > kMaxPackageEntries) {
        out += "\n";
        problems.push_back("entry count " + std::to_string(header.entryCount) + " is over " +
                           std::to_string(kMaxPackageEntries) + "; the updater refuses the package");
        return finish();
    }
    uint64_t dataBase = kDirectoryOffset + uint64_t{header.entryCount} * sizeof(PackageEntry);
    if (file.size() < dataBase) {
        out += "\n";
        problems.push_back("short directory: " + std::to_string(header.entryCount) + " entries take " +
                           std::to_string(dataBase - kDirectoryOffset) + " bytes at 0x60010, the file holds " +
                           std::to_string(file.size() - kDirectoryOffset));
        return finish();
    }
    char base[32];
    std::snprintf(base, sizeof(base), "0x%llx", static_cast<unsigned long long>(dataBase));
    out += ", data area at " + std::string(base) + "\n";

    std::vector<PackageEntry> directory(header.entryCount);
    if (!directory.empty()) std::memcpy(directory.data(), &file[kDirectoryOffset], directory.size() * sizeof(PackageEntry));

    std::vector<MemberState> states(directory.size());
    for (size_t i = 0; i < directory.size(); ++i) {
        const PackageEntry& entry = directory[i];
        std::string label = "member " + std::to_string(i + 1);
        std::string name = FieldText(entry.name, kMemberNameSize);
        states[i].shown = Printable(name);
        if (name.size() == kMemberNameSize) {
            problems.push_back(label + ": the name is not NUL-terminated within its 16 bytes; the updater refuses the package");
        } else if (!IsSafeMemberName(entry.name)) {
            problems.push_back(label + " " + Quoted(states[i].shown) +
                               ": the updater refuses this name (absolute, ':' or a part that leaves the install folder)");
        } else if (name.empty()) {
            problems.push_back(label + ": the name is empty");
        }
        uint64_t end = dataBase + entry.offset + uint64_t{entry.size};
        states[i].readable = end <= file.size();
        if (!states[i].readable) {
            problems.push_back(label + " " + Quoted(states[i].shown) + ": its data (offset " + std::to_string(entry.offset) +
                               ", size " + std::to_string(entry.size) + ") runs past the end of the file");
        }
    }

    // The first member named cvn.hvl, in any letter case, is the hash list.
    std::vector<HashListEntry> hashes;
    bool haveHashList = false;
    size_t hashIndex = 0;
    for (size_t i = 0; i < directory.size(); ++i) {
        if (package_writer::LowercasedName(FieldText(directory[i].name, kMemberNameSize)) == kHashListName) {
            haveHashList = true;
            hashIndex = i;
            break;
        }
    }
    if (haveHashList) {
        const PackageEntry& entry = directory[hashIndex];
        std::string label = "bad hash list (member " + std::to_string(hashIndex + 1) + ")";
        haveHashList = false;
        if (!states[hashIndex].readable) {
            problems.push_back(label + ": it runs past the end of the file");
        } else if (entry.size < sizeof(HashListHeader)) {
            problems.push_back(label + ": " + std::to_string(entry.size) + " bytes, too short for its 16-byte header");
        } else {
            HashListHeader hashHeader;
            const uint8_t* start = file.data() + dataBase + entry.offset;
            std::memcpy(&hashHeader, start, sizeof(hashHeader));
            uint64_t needed = sizeof(HashListHeader) + uint64_t{hashHeader.hashCount} * sizeof(HashListEntry);
            if (std::memcmp(hashHeader.magic, kHashListMagic, sizeof(hashHeader.magic)) != 0) {
                problems.push_back(label + ": its magic is not \"ZRT_____\"; the updater verifies nothing");
            } else if (needed != entry.size) {
                problems.push_back(label + ": " + std::to_string(hashHeader.hashCount) + " entries take " +
                                   std::to_string(needed) + " bytes, the member holds " + std::to_string(entry.size));
            } else {
                haveHashList = true;
                hashes.resize(hashHeader.hashCount);
                if (!hashes.empty()) std::memcpy(hashes.data(), start + sizeof(hashHeader), hashes.size() * sizeof(HashListEntry));
                for (size_t h = 0; h < hashes.size(); ++h) {
                    if (std::memchr(hashes[h].name, '\0', kHashEntryNameSize) == nullptr) {
                        problems.push_back(label + ": entry " + std::to_string(h + 1) +
                                           " has a name that is not NUL-terminated within its 56 bytes");
                    }
                }
            }
        }
    }

    size_t verified = 0, unverified = 0, failed = 0;
    size_t nameWidth = 4;
    for (const MemberState& state : states) nameWidth = std::max(nameWidth, DisplayWidth(state.shown));
    out += "members:\n  " + Padded("#", 4) + Padded("name", nameWidth + 2) + Padded("offset", 12) + Padded("size", 12) +
           Padded("checksum", 18) + "check\n";
    for (size_t i = 0; i < directory.size(); ++i) {
        const PackageEntry& entry = directory[i];
        std::string checksumText = "-";
        std::string verdict;
        if (!states[i].readable) {
            verdict = "unreadable: past the end of the file";
            ++failed;
        } else {
            FileChecksum checksum = {};
            UpdateChecksum(&checksum, file.data() + dataBase + entry.offset, entry.size);
            checksumText = Hex(checksum);
            std::string lowered = package_writer::LowercasedName(FieldText(entry.name, kMemberNameSize));
            const HashListEntry* expected = nullptr;
            for (const HashListEntry& hash : hashes) {
                if (package_writer::LowercasedName(FieldText(hash.name, kHashEntryNameSize)) == lowered) {
                    expected = &hash;
                    break;
                }
            }
            if (expected == nullptr) {
                verdict = haveHashList ? "unverified: not in the hash list" : "unverified: no hash list";
                ++unverified;
            } else if (ChecksumsEqual(checksum, expected->checksum)) {
                verdict = "verified";
                ++verified;
            } else {
                verdict = "FAILED: the hash list gives " + Hex(expected->checksum);
                ++failed;
                problems.push_back("member " + std::to_string(i + 1) + " " + Quoted(states[i].shown) + ": checksum " +
                                   checksumText + " differs from the hash list's " + Hex(expected->checksum));
            }
        }
        out += "  " + Padded(std::to_string(i + 1), 4) + Padded(states[i].shown, nameWidth + 2) +
               Padded(std::to_string(entry.offset), 12) + Padded(std::to_string(entry.size), 12) + Padded(checksumText, 18) +
               verdict + "\n";
    }

    if (haveHashList) {
        out += "hash list: member " + std::to_string(hashIndex + 1) + ", " + std::to_string(hashes.size()) + " entries\n";
        std::vector<std::string> shownNames;
        size_t width = 4;
        for (const HashListEntry& hash : hashes) {
            shownNames.push_back(Printable(FieldText(hash.name, kHashEntryNameSize)));
            width = std::max(width, DisplayWidth(shownNames.back()));
        }
        out += "  " + Padded("name", width + 2) + "checksum\n";
        for (size_t h = 0; h < hashes.size(); ++h) out += "  " + Padded(shownNames[h], width + 2) + Hex(hashes[h].checksum) + "\n";
    } else {
        out += "hash list: none usable; the updater writes every member unverified\n";
    }
    uint64_t packageEnd = dataBase;
    for (size_t i = 0; i < directory.size(); ++i) {
        if (states[i].readable) packageEnd = std::max(packageEnd, dataBase + directory[i].offset + uint64_t{directory[i].size});
    }
    out += TrailingBytesNote(file, packageEnd);
    out += "summary: " + std::to_string(verified) + " verified, " + std::to_string(unverified) + " unverified, " +
           std::to_string(failed) + " failed\n";
    return finish();
}

// ---- checksum

int Checksum(const std::vector<std::string>& arguments, CommandOutput* output) {
    std::vector<std::string> files;
    bool onlyFiles = false;
    for (const std::string& argument : arguments) {
        if (!onlyFiles && argument == "--") {
            onlyFiles = true;
        } else if (!onlyFiles && argument.size() > 1 && argument[0] == '-') {
            throw UsageError("unknown option " + Quoted(argument));
        } else {
            files.push_back(argument);
        }
    }
    if (files.empty()) throw UsageError("checksum needs at least one file");
    int code = kExitOk;
    for (const std::string& path : files) {
        try {
            output->out += Hex(tool_files::ChecksumOfFile(path)) + "  " + path + "\n";
        } catch (const FileError& error) {
            output->err += "mkupdate: " + error.File() + ": " + error.what() + "\n";
            code = kExitFailure;
        }
    }
    return code;
}

struct Verb {
    const char* name;
    const char* usage;
    int (*run)(const std::vector<std::string>&, CommandOutput*);
};

const Verb kVerbs[] = {
    {"build", kBuildUsage, Build},
    {"inspect", kInspectUsage, Inspect},
    {"checksum", kChecksumUsage, Checksum},
};

}  // namespace

int RunMkupdate(const std::vector<std::string>& arguments, CommandOutput* output) {
    const Verb* verb = nullptr;
    try {
        if (arguments.empty()) {
            output->err += kMainUsage;
            return kExitUsage;
        }
        if (arguments[0] == "-h" || arguments[0] == "--help") {
            output->out += kMainUsage;
            return kExitOk;
        }
        for (const Verb& candidate : kVerbs) {
            if (arguments[0] == candidate.name) verb = &candidate;
        }
        if (verb == nullptr) {
            throw UsageError("unknown command " + Quoted(arguments[0]) + "; the commands are build, inspect and checksum");
        }
        std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
        if (WantsHelp(rest)) {
            output->out += verb->usage;
            return kExitOk;
        }
        return verb->run(rest, output);
    } catch (const UsageError& error) {
        output->err += std::string("mkupdate: ") + error.what() + "\n";
        output->err += verb != nullptr ? "(\"mkupdate " + std::string(verb->name) + " --help\" shows the usage)\n"
                                       : "(\"mkupdate --help\" shows the usage)\n";
        return kExitUsage;
    } catch (const FileError& error) {
        output->err += "mkupdate: " + error.File() + ": " + error.what() + "\n";
        return kExitFailure;
    } catch (const std::bad_alloc&) {
        output->err += "mkupdate: out of memory\n";
        return kExitFailure;
    } catch (const std::exception& error) {
        output->err += std::string("mkupdate: ") + error.what() + "\n";
        return kExitFailure;
    } catch (...) {
        output->err += "mkupdate: unexpected failure\n";
        return kExitFailure;
    }
}
