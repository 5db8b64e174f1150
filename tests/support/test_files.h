// Test files: a throwaway folder per test and the plain file operations tests use to set up
// and inspect what the code under test finds and leaves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text);

// A fresh, empty folder under the system's temporary folder, removed with everything in it
// (read-only files included) when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Empty when the folder could not be created.
    const std::string& Path() const { return path_; }
    // The folder, the platform's separator and name.
    std::string Join(const std::string& name) const;

private:
    std::string path_;
};

// The separator Join uses: '/' on POSIX, '\\' on Windows.
extern const char kSeparator;

bool WriteFileBytes(const std::string& path, const Bytes& bytes);
// False when the file cannot be read (a missing file among others).
bool ReadFileBytes(const std::string& path, Bytes* bytes);
bool FileExists(const std::string& path);
bool MakeFolder(const std::string& path);
// The names in a folder, sorted, without "." and "..".
std::vector<std::string> ListFolder(const std::string& path);
// base with folders of its own name's letter appended below it until the path is exactly
// length bytes long; empty when that cannot be done.
std::string MakeFolderOfLength(const std::string& base, size_t length);

// The marks a file can carry. POSIX knows only the read-only one (a missing owner write bit).
enum FileMark : unsigned { kMarkReadOnly = 1, kMarkHidden = 2, kMarkSystem = 4 };
// The mark combinations this platform can set, for tables of cases.
std::vector<unsigned> SupportedMarkSets();
bool SetFileMarks(const std::string& path, unsigned marks);
// The marks a file carries now; 0 for a missing file.
unsigned GetFileMarks(const std::string& path);
// Whether this system refuses to replace a file that carries these marks. Windows does for
// each of them; Wine run as root writes over them all, so tests of the rule cannot run there.
// On POSIX the rule is RawFile's own, for the read-only mark.
bool MarksRefuseReplacing(unsigned marks);

// Lets a program file written by a test be started.
bool MakeExecutable(const std::string& path);

void SleepMilliseconds(uint32_t milliseconds);

}  // namespace test_support
