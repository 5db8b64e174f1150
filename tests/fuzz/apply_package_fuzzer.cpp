// Fuzz target over package application. The input is an updater file's package: everything
// behind offset 0x60000. Each input is applied to a freshly prepared install folder, and on
// every input the result must be one of the six codes and nothing outside the install folder
// may be created, changed or removed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "package/apply_update_package.h"
#include "package/package_format.h"
#include "package/update_result.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/test_files.h"

using fuzz_support::Fail;

namespace {

// The install folder sits five folders below the sandbox, so that a member name that climbs
// out (at most four "..\" fit into the 15 bytes of a name) still lands inside it, where the
// comparison sees it. Each level holds a file of its own. The updater file lies beside the
// sandbox, out of every name's reach, so that its size does not slow the comparison.
constexpr int kDepth = 5;
constexpr char kUninstallList[] = "game.exe\ndata01000.arc\nCVN.hvl\n";

struct Sandbox {
    test_support::TempFolder root;  // one per process, reused by every input
    std::string sandbox;
    std::string updater;
    std::string install;

    Sandbox() {
        if (root.Path().empty()) Fail("no temporary folder");
        sandbox = root.Path() + "/sandbox";
        std::string folder = sandbox;
        for (int level = 0; level < kDepth; ++level) {
            if (mkdir(folder.c_str(), 0755) != 0) Fail("cannot create " + folder);
            fuzz_support::PutFile(folder + "/sibling.txt", "keep", 4);
            folder += "/level" + std::to_string(level);
        }
        install = folder;
        if (mkdir(install.c_str(), 0755) != 0) Fail("cannot create " + install);
        // The stub is zero bytes only; the updater never reads them. Written once, sparse.
        updater = root.Path() + "/setup.exe";
        fuzz_support::PutFile(updater, "", 0);
    }
};

// Puts the package behind the zero-filled stub, over whatever the previous input left there.
void WritePackage(const std::string& updater, const uint8_t* data, size_t size) {
    int fd = open(updater.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0 || ftruncate(fd, kPackageOffset) != 0) Fail("cannot reset " + updater);
    off_t position = kPackageOffset;
    while (size > 0) {
        ssize_t written = pwrite(fd, data, size, position);
        if (written <= 0) Fail("cannot write " + updater);
        data += written;
        size -= static_cast<size_t>(written);
        position += written;
    }
    close(fd);
}

// What an installed game has before the update: its list, a read-only file that a member may
// replace, and a subfolder that member names with a folder part may write into.
void PrepareInstallFolder(const std::string& install) {
    fuzz_support::EmptyFolder(install);
    fuzz_support::PutFile(install + "/uninst.lst", kUninstallList, sizeof(kUninstallList));
    fuzz_support::PutFile(install + "/data01000.arc", "old", 3, 0444);
    if (mkdir((install + "/sub").c_str(), 0755) != 0) Fail("cannot create the subfolder");
}

bool IsResultCode(uint32_t result) {
    switch (result) {
        case UPDATE_OK:
        case UPDATE_E_PACKAGE_READ:
        case UPDATE_E_TOO_MANY_ENTRIES:
        case UPDATE_E_CHECKSUM:
        case UPDATE_E_CREATE_FILE:
        case UPDATE_E_UNINSTALL_LIST:
            return true;
        default:
            return false;
    }
}

}  // namespace

// A package declares sizes of up to 4 GiB for its members and its hash table, and the updater
// allocates what is declared before reading. Under the sanitizer a request above 64 MiB fails
// instead, as the largest ones do in the updater's 32-bit address space: the input then takes
// the failed-allocation path quickly rather than exhausting memory.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=64";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Sandbox sandbox;
    WritePackage(sandbox.updater, data, size);
    PrepareInstallFolder(sandbox.install);
    fuzz_support::TreeState before = fuzz_support::ReadTree(sandbox.sandbox, sandbox.install);

    uint32_t result = ApplyUpdatePackageFrom(sandbox.updater.c_str(), sandbox.install.c_str());

    if (!IsResultCode(result)) Fail("result " + std::to_string(result) + " is not a result code");
    std::string difference =
        fuzz_support::FirstDifference(before, fuzz_support::ReadTree(sandbox.sandbox, sandbox.install));
    if (!difference.empty()) Fail("outside the install folder: " + difference);
    return 0;
}
