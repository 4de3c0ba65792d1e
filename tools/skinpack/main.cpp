// skinpack: packs a skin folder into a reproducible zip archive.
//
//   skinpack [--ext xml,png,gif] <folder> <archive.zip>
//
// Without --ext every file directly inside the folder is packed; subfolders
// are never packed. Exit status 0 on success, 1 on an error (printed), 2 on
// bad usage.
#include "tools/skinpack/skinpack.h"

#include <cstdio>
#include <cstring>
#include <sstream>

int main(int argc, char** argv) {
    std::vector<std::string> extensions;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ext") == 0 && i + 1 < argc) {
            std::stringstream ss(argv[++i]);
            std::string ext;
            while (std::getline(ss, ext, ','))
                if (!ext.empty())
                    extensions.push_back(ext);
        } else {
            args.push_back(argv[i]);
        }
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: skinpack [--ext xml,png,gif] <folder> <archive.zip>\n");
        return 2;
    }
    std::string error;
    if (!skinpack::PackFolder(args[0], extensions, args[1], &error)) {
        std::fprintf(stderr, "skinpack: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
