// Replays inputs through a fuzz target without libFuzzer: every file of every folder given
// (or each file given), in name order. A failed check aborts, so the exit code tells.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::string> InputsOf(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return {};
    if (!S_ISDIR(info.st_mode)) return {path};
    std::vector<std::string> files;
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) return {};
    while (dirent* entry = readdir(dir)) {
        std::string file = path + "/" + entry->d_name;
        if (entry->d_name[0] != '.' && stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            files.push_back(file);
        }
    }
    closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER_OR_FILE...\n", argv[0]);
        return 2;
    }
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<std::string> inputs = InputsOf(argv[i]);
        // A folder of found inputs may be empty or absent: git keeps no empty folders.
        for (const std::string& input : inputs) {
            std::string bytes;
            if (!fuzz_support::GetFile(input, &bytes)) fuzz_support::Fail("cannot read " + input);
            std::printf("%s\n", input.c_str());
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++replayed;
        }
        std::printf("%s: %zu inputs\n", argv[i], inputs.size());
    }
    std::printf("replayed %zu inputs\n", replayed);
    return replayed > 0 ? 0 : 1;
}
