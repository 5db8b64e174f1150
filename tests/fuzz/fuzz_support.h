// What the fuzz targets share: reading a folder tree for before/after comparison, emptying a
// folder, small file writes, and ending the process loudly when a check fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace fuzz_support {

// Every entry under a root, keyed by its path relative to the root, with its kind, permission
// bits and (for files) content; the folder at skip (a full path) is listed but not looked into.
using TreeState = std::map<std::string, std::string>;
TreeState ReadTree(const std::string& root, const std::string& skip);

// The number of entries directly in a folder.
size_t CountEntries(const std::string& path);

// Names the first difference between two states, for the failure message.
std::string FirstDifference(const TreeState& before, const TreeState& after);

// Removes everything inside path, read-only files and subfolders included; path stays.
void EmptyFolder(const std::string& path);

// Writes the file whole with the given permission bits; aborts when that fails, since every
// later check would then test the harness rather than the code.
void PutFile(const std::string& path, const void* data, size_t size, unsigned mode = 0644);

// Reads the file whole; false when it cannot be opened.
bool GetFile(const std::string& path, std::string* content);

// Prints the failed check and aborts, which libFuzzer and the replay program report as a crash.
[[noreturn]] void Fail(const std::string& what);

}  // namespace fuzz_support
