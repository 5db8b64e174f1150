// make_fuzz_seeds: writes the starting corpora of the fuzz targets, made with the package
// writer: sound packages, the same cut at every record boundary, hash lists of every shape and
// the directory values the updater must refuse; and uninstall lists with names to add.
//
//   make_fuzz_seeds OUTDIR                 OUTDIR/apply_package/ and OUTDIR/uninstall_list/
//   make_fuzz_seeds --updater STUB OUT     the sound package behind STUB, as an updater file
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "package/package_format.h"
#include "tools/package_writer.h"

using package_writer::Bytes;
using package_writer::HashedFile;
using package_writer::Member;

namespace {

Bytes B(const std::string& text) { return Bytes(text.begin(), text.end()); }

HashedFile Hashed(const std::string& name, const Bytes& data) {
    return {name, package_writer::ChecksumOf(data)};
}

// The package alone: what follows offset 0x60000, which is what the fuzz target takes.
Bytes PackageOf(const std::vector<Member>& members) {
    Bytes file = package_writer::LayOutUpdater({}, members);
    return Bytes(file.begin() + kPackageOffset, file.end());
}

void Put32(Bytes& bytes, size_t at, uint32_t value) {
    if (at + 4 > bytes.size()) return;
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

size_t EntryField(size_t index, size_t field) { return sizeof(PackageHeader) + index * sizeof(PackageEntry) + field; }
constexpr size_t kOffsetField = 16;
constexpr size_t kSizeField = 20;

bool WriteBytes(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

class Corpus {
public:
    explicit Corpus(std::string folder) : folder_(std::move(folder)) { mkdir(folder_.c_str(), 0755); }
    void Add(const std::string& name, const Bytes& bytes) {
        if (!WriteBytes(folder_ + "/" + name, bytes)) {
            std::fprintf(stderr, "make_fuzz_seeds: cannot write %s/%s\n", folder_.c_str(), name.c_str());
            ok_ = false;
        }
    }
    bool ok() const { return ok_; }

private:
    std::string folder_;
    bool ok_ = true;
};

const Bytes kArchive = B("new archive bytes, opaque to the updater");
const Bytes kReadme = B("read me after the update\r\n");

// Replaces the read-only file of the fuzz install folder, adds one, and carries a hash list
// that names both and a file that is not a member, but not itself.
std::vector<Member> SoundMembers() {
    Bytes list = package_writer::BuildHashList(
        {Hashed("data01000.arc", kArchive), Hashed("readme.txt", kReadme), Hashed("game.exe", B("exe"))});
    return {{"data01000.arc", kArchive}, {"readme.txt", kReadme}, {"CVN.hvl", list}};
}

void AddPackages(Corpus& corpus) {
    const Bytes sound = PackageOf(SoundMembers());
    corpus.Add("sound", sound);

    // Cut at every record boundary and one byte either side: header, each directory entry,
    // each member, and inside the hash list its header and each of its entries.
    std::set<size_t> cuts = {0, 12, sizeof(PackageHeader)};
    std::vector<Member> members = SoundMembers();
    size_t dataBase = sizeof(PackageHeader) + members.size() * sizeof(PackageEntry);
    size_t position = dataBase;
    for (size_t i = 0; i < members.size(); ++i) {
        cuts.insert(sizeof(PackageHeader) + i * sizeof(PackageEntry));
        cuts.insert(position);
        position += members[i].data.size();
    }
    size_t listStart = dataBase + kArchive.size() + kReadme.size();
    for (size_t at = listStart + sizeof(HashListHeader); at <= sound.size(); at += sizeof(HashListEntry)) cuts.insert(at);
    std::set<size_t> lengths;
    for (size_t cut : cuts) {
        for (size_t length : {cut - 1, cut, cut + 1}) {
            if (length < sound.size() && length != static_cast<size_t>(-1)) lengths.insert(length);
        }
    }
    for (size_t length : lengths) corpus.Add("cut-" + std::to_string(length), Bytes(sound.begin(), sound.begin() + length));

    corpus.Add("no-hash-list", PackageOf({{"data01000.arc", kArchive}, {"readme.txt", kReadme}}));
    corpus.Add("empty", PackageOf({}));
    corpus.Add("empty-member", PackageOf({{"empty.dat", {}}, {"cvn.hvl", package_writer::BuildHashList({Hashed("empty.dat", {})})}}));

    // Directory values out of range.
    std::vector<Member> full;
    for (int i = 0; i < 24; ++i) full.push_back({"m" + std::to_string(i) + ".dat", B(std::to_string(i))});
    corpus.Add("entries-24", PackageOf(full));
    full.push_back({"m24.dat", B("24")});
    corpus.Add("entries-25", PackageOf(full));
    Bytes countAll = sound;
    Put32(countAll, 12, 0xFFFFFFFFu);
    corpus.Add("entries-all-bits", countAll);
    for (uint32_t value : {0x7FFFFFF0u, 0x80000000u, 0xFFFFFFFFu, static_cast<uint32_t>(sound.size())}) {
        Bytes offset = sound;
        Put32(offset, EntryField(1, kOffsetField), value);
        corpus.Add("offset-" + std::to_string(value), offset);
        Bytes size = sound;
        Put32(size, EntryField(1, kSizeField), value);
        corpus.Add("size-" + std::to_string(value), size);
    }
    Bytes overlapping = sound;
    Put32(overlapping, EntryField(1, kOffsetField), 0);
    corpus.Add("members-overlap", overlapping);

    // Hash lists of every shape.
    auto withList = [](const Bytes& list) { return PackageOf({{"data01000.arc", kArchive}, {"cvn.hvl", list}}); };
    corpus.Add("hash-empty", withList(package_writer::BuildHashList({})));
    corpus.Add("hash-wrong-sum", withList(package_writer::BuildHashList({Hashed("data01000.arc", kReadme)})));
    corpus.Add("hash-case", PackageOf({{"DATA01000.ARC", kArchive},
                                       {"Cvn.Hvl", package_writer::BuildHashList({Hashed("data01000.arc", kArchive)})}}));
    corpus.Add("hash-duplicate-first-wrong", withList(package_writer::BuildHashList(
        {Hashed("data01000.arc", kReadme), Hashed("data01000.arc", kArchive)})));
    corpus.Add("hash-duplicate-first-right", withList(package_writer::BuildHashList(
        {Hashed("data01000.arc", kArchive), Hashed("data01000.arc", kReadme)})));
    corpus.Add("hash-names-itself", withList(package_writer::BuildHashList({Hashed("cvn.hvl", kArchive)})));
    Bytes badMagic = package_writer::BuildHashList({Hashed("data01000.arc", kReadme)});
    badMagic[0] = 'z';
    corpus.Add("hash-bad-magic", withList(badMagic));
    corpus.Add("hash-second-list-ignored", PackageOf({{"cvn.hvl", badMagic},
                                                      {"data01000.arc", kArchive},
                                                      {"CVN.HVL", package_writer::BuildHashList({Hashed("data01000.arc", kReadme)})}}));
    // The table is read for as many entries as the count says, past the member's end.
    Bytes longList = package_writer::BuildHashList({});
    Put32(longList, 12, 1);
    corpus.Add("hash-count-past-member", PackageOf({{"cvn.hvl", longList}, {"data01000.arc", Bytes(64, 'x')}}));
    for (uint32_t count : {0x03FFFFFFu, 0x04000000u, 0xFFFFFFFFu}) {
        Bytes list = package_writer::BuildHashList({Hashed("data01000.arc", kArchive)});
        Put32(list, 12, count);
        corpus.Add("hash-count-" + std::to_string(count), withList(list));
    }
    Bytes longName = package_writer::BuildHashList({Hashed("data01000.arc", kArchive)});
    std::memset(longName.data() + sizeof(HashListHeader), 'n', kHashEntryNameSize);
    corpus.Add("hash-name-unterminated", withList(longName));

    // Member names: folder parts, refused names, the list itself, double-byte names whose
    // second byte is 0x5C, a name that fills its field without a NUL.
    const std::vector<std::pair<std::string, std::string>> names = {
        {"folder", "sub\\new.dat"},     {"missing-folder", "nosub\\new.dat"},
        {"climbs", "..\\escape.dat"},   {"climbs-far", "..\\..\\..\\..\\x"},
        {"climbs-dots", "sub\\. .\\x"},  {"absolute", "\\etc\\x"},
        {"drive", "c:x"},               {"the-list", "uninst.lst"},
        {"folder-itself", "sub"},       {"dot", "."},
        {"empty-name", ""},             {"dbcs-5c", "\x83\x5C.dat"},
        {"dbcs-5c-folder", "\x83\x5C\\..\\x"}, {"lead-slash", "\x81/..\\x"},
        {"unterminated", "sixteen.bytes.xx"},
    };
    for (const auto& [label, name] : names) {
        corpus.Add("name-" + label, PackageOf({{name, kReadme}, {"readme.txt", kReadme}}));
    }
}

// The uninstall list target's input: control byte, list bytes, then 0xFF and a name per name.
Bytes ListCase(uint8_t control, const std::string& list, const std::vector<std::string>& names) {
    Bytes input = {control};
    input.insert(input.end(), list.begin(), list.end());
    for (const std::string& name : names) {
        input.push_back(0xFF);
        input.insert(input.end(), name.begin(), name.end());
    }
    return input;
}

void AddLists(Corpus& corpus) {
    const std::string game = std::string("game.exe\ndata01000.arc\n") + '\0';
    const std::vector<std::string> update = {"data01000.arc", "CVN.hvl", "new.dat"};
    corpus.Add("typical", ListCase(0, game, update));
    corpus.Add("only-nul", ListCase(0, std::string(1, '\0'), update));
    corpus.Add("empty-file", ListCase(0, "", update));
    corpus.Add("no-final-nul", ListCase(0, "a.txt\nb.txt", update));
    corpus.Add("inner-nul", ListCase(0, std::string("a\0data01000.arc\n\0", 18), update));
    corpus.Add("substring", ListCase(0, std::string("xdata01000.arc.old\n") + '\0', {"data01000.arc"}));
    corpus.Add("case", ListCase(0, std::string("cvn.hvl\n") + '\0', {"CVN.hvl"}));
    corpus.Add("twice", ListCase(0, game, {"new.dat", "new.dat"}));
    corpus.Add("empty-name", ListCase(0, game, {"", "new.dat"}));
    corpus.Add("no-names", ListCase(0, game, {}));
    corpus.Add("dbcs", ListCase(0, std::string("\x83\x5C\x83\x74\x83\x67.dat\n") + '\0', {"\x83\x5C", "\x83\x74.dat"}));
    corpus.Add("read-only", ListCase(0x02, game, update));
    corpus.Add("missing", ListCase(0x01, "", update));
    // At the edge of the 1 MiB buffer, the file being 1 MiB less the shortfall: "new.dat" and
    // its line feed take 8 bytes, so with a shortfall of 8 they fill the buffer to its end.
    corpus.Add("edge-full", ListCase(0xE0, game, {"a", "new.dat"}));
    for (uint8_t shortfall : {7, 8, 9}) {
        corpus.Add("edge-" + std::to_string(shortfall), ListCase(0xE0 + shortfall, game, {"new.dat"}));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--updater") == 0) {
        FILE* stubFile = std::fopen(argv[2], "rb");
        if (stubFile == nullptr) {
            std::fprintf(stderr, "make_fuzz_seeds: cannot read %s\n", argv[2]);
            return 1;
        }
        Bytes stub;
        int c;
        while ((c = std::fgetc(stubFile)) != EOF) stub.push_back(static_cast<uint8_t>(c));
        std::fclose(stubFile);
        Bytes updater = package_writer::LayOutUpdater(stub, SoundMembers());
        if (updater.empty()) {
            std::fprintf(stderr, "make_fuzz_seeds: %s does not fit below the package offset\n", argv[2]);
            return 1;
        }
        if (!WriteBytes(argv[3], updater)) {
            std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", argv[3]);
            return 1;
        }
        return chmod(argv[3], 0755) == 0 ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds OUTDIR\n       make_fuzz_seeds --updater STUB OUT\n");
        return 2;
    }
    std::string out = argv[1];
    mkdir(out.c_str(), 0755);
    Corpus packages(out + "/apply_package");
    AddPackages(packages);
    Corpus lists(out + "/uninstall_list");
    AddLists(lists);
    return packages.ok() && lists.ok() ? 0 : 1;
}
