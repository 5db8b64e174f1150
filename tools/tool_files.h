// Files as the tools use them, by UTF-8 path: whole-file reads, checksums of files, the files
// of a folder, and an output that is either complete or not there at all.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "package/checksum.h"
#include "tools/package_writer.h"

namespace tool_files {

// A failure that names its file; what() is the reason alone.
class FileError : public std::runtime_error {
public:
    FileError(std::string file, const std::string& reason) : std::runtime_error(reason), file_(std::move(file)) {}
    const std::string& File() const { return file_; }

private:
    std::string file_;
};

// The whole content of a regular file. Throws FileError when the file is missing, is not a
// regular file, cannot be read, or is larger than maxSize (the file is then not read).
package_writer::Bytes ReadWholeFile(const std::string& path, uint64_t maxSize);

// The checksum of a regular file's content, read in pieces. Throws FileError.
FileChecksum ChecksumOfFile(const std::string& path);

// The names (UTF-8) of the regular files directly in folder, in no particular order; folders
// and other entries are left out. Throws FileError when folder cannot be listed.
std::vector<std::string> FilesInFolder(const std::string& folder);

// The last part of a path: "b.arc" for "a/b.arc"; empty for a path that ends in a separator.
std::string FileNameOf(const std::string& path);

// folder and name joined with the platform's separator.
std::string JoinPath(const std::string& folder, const std::string& name);

// Writes data to a temporary file beside path and renames it over path, so that path is
// either left as it was or holds all of data. Throws FileError; the temporary file is gone
// either way.
void ReplaceFile(const std::string& path, const package_writer::Bytes& data);

}  // namespace tool_files
