// Making an existing file replaceable before it is written over.
#pragma once

// Clears read-only, hidden and system marks so that RawFile::OpenWrite can replace the file.
// The outcome is not reported: the file need not exist.
void MakeFileReplaceable(const char* path);
