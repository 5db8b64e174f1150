// apply_self: a stand-in updater for tests. Applies the package appended to its own file to
// the install folder given as its one argument and ends with the result code.
#include <cstdio>

#include "package/apply_update_package.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: apply_self INSTALL_FOLDER\n");
        return 64;  // outside the result codes, also in their low byte
    }
    return static_cast<int>(ApplyUpdatePackage(argv[1]));
}
