// Tool file access through the standard library, which takes UTF-8 paths as u8path and hands
// them to the system in its own form (UTF-16 on Windows).
#include "tools/tool_files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace tool_files {

namespace {

fs::path PathOf(const std::string& utf8) { return fs::u8path(utf8); }

// A regular file to read, or a FileError that says why not.
uint64_t SizeOfRegularFile(const std::string& path) {
    std::error_code error;
    fs::file_status status = fs::status(PathOf(path), error);
    if (!fs::exists(status)) throw FileError(path, "no such file");
    if (fs::is_directory(status)) throw FileError(path, "is a folder, not a file");
    if (!fs::is_regular_file(status)) throw FileError(path, "is not a regular file");
    uint64_t size = fs::file_size(PathOf(path), error);
    if (error) throw FileError(path, "cannot read its size");
    return size;
}

std::string RandomSuffix() {
    std::random_device device;
    std::uniform_int_distribution<uint32_t> digits;
    char text[9];
    std::snprintf(text, sizeof(text), "%08x", static_cast<unsigned>(digits(device)));
    return text;
}

}  // namespace

package_writer::Bytes ReadWholeFile(const std::string& path, uint64_t maxSize) {
    uint64_t size = SizeOfRegularFile(path);
    if (size > maxSize) {
        throw FileError(path, "too large: " + std::to_string(size) + " bytes, at most " + std::to_string(maxSize) + " fit");
    }
    std::ifstream in(PathOf(path), std::ios::binary);
    if (!in) throw FileError(path, "cannot open it for reading");
    package_writer::Bytes data(static_cast<size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(size))) {
        throw FileError(path, "cannot read it");
    }
    // A file that grew while it was read would be cut short without this look past the end.
    if (in.peek() != std::ifstream::traits_type::eof()) throw FileError(path, "changed while it was read");
    return data;
}

FileChecksum ChecksumOfFile(const std::string& path) {
    SizeOfRegularFile(path);
    std::ifstream in(PathOf(path), std::ios::binary);
    if (!in) throw FileError(path, "cannot open it for reading");
    FileChecksum checksum = {};
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        UpdateChecksum(&checksum, buffer.data(), static_cast<uint32_t>(in.gcount()));
    }
    if (!in.eof()) throw FileError(path, "cannot read it");
    return checksum;
}

std::vector<std::string> FilesInFolder(const std::string& folder) {
    std::error_code error;
    if (!fs::is_directory(PathOf(folder), error)) {
        throw FileError(folder, fs::exists(PathOf(folder), error) ? "is not a folder" : "no such folder");
    }
    std::vector<std::string> names;
    fs::directory_iterator it(PathOf(folder), error);
    if (error) throw FileError(folder, "cannot list the folder");
    for (; it != fs::directory_iterator(); it.increment(error)) {
        std::error_code statusError;
        if (it->is_regular_file(statusError)) names.push_back(it->path().filename().u8string());
    }
    if (error) throw FileError(folder, "cannot list the folder");
    return names;
}

std::string FileNameOf(const std::string& path) { return PathOf(path).filename().u8string(); }

std::string JoinPath(const std::string& folder, const std::string& name) {
    return (PathOf(folder) / PathOf(name)).u8string();
}

void ReplaceFile(const std::string& path, const package_writer::Bytes& data) {
    fs::path target = PathOf(path);
    std::error_code error;
    if (fs::is_directory(target, error)) throw FileError(path, "is a folder");
    fs::path temporary;
    // The rename is atomic only within one folder, so the temporary file lives beside the output.
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = target;
        candidate.replace_filename(fs::u8path("." + target.filename().u8string() + "." + RandomSuffix() + ".tmp"));
        if (!fs::exists(candidate, error)) {
            temporary = candidate;
            break;
        }
    }
    if (temporary.empty()) throw FileError(path, "cannot find a free temporary name beside it");

    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) throw FileError(path, "cannot create a file in its folder");
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        out.close();
        if (!out) {
            fs::remove(temporary, error);
            throw FileError(path, "cannot write it (disk full?)");
        }
    }
    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw FileError(path, "cannot replace it with the new file");
    }
}

}  // namespace tool_files
