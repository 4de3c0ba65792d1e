// plat_rescomp: writes the resource table that plat_embed_resources puts
// into an executable's resource section.
//
//   plat_rescomp OUTPUT [--version A.B.C.D] [--resource TYPE NAME FILE]...
//
// TYPE and NAME are texts or numbers (e.g. ZIPRES 129); --version adds the
// version record (RT_VERSION, name 1). Exits 0 on success, 1 on bad
// arguments, 2 when an input cannot be read or the output not written.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "plat/sys/resource_table.h"

namespace {

int Usage() {
    std::cerr << "usage: plat_rescomp OUTPUT [--version A.B.C.D] [--resource TYPE NAME FILE]...\n";
    return 1;
}

// Parses "a.b.c.d" (missing parts are 0, each part 0..65535).
bool ParseVersion(const std::string& text, uint16_t parts[4]) {
    std::stringstream stream(text);
    std::string part;
    int count = 0;
    while (std::getline(stream, part, '.')) {
        if (count == 4 || part.empty() || part.size() > 5 ||
            part.find_first_not_of("0123456789") != std::string::npos)
            return false;
        unsigned long value = std::stoul(part);
        if (value > 65535)
            return false;
        parts[count++] = uint16_t(value);
    }
    for (int i = count; i < 4; ++i)
        parts[i] = 0;
    return count > 0;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    std::string output = argv[1];
    std::vector<plat::restable::Input> inputs;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--version" && i + 1 < argc) {
            uint16_t v[4];
            if (!ParseVersion(argv[++i], v)) {
                std::cerr << "plat_rescomp: bad version '" << argv[i] << "'\n";
                return 1;
            }
            plat::restable::Input input;
            input.type = "#16";
            input.name = "#1";
            input.data = plat::restable::BuildVersionBlock(v[0], v[1], v[2], v[3]);
            inputs.push_back(std::move(input));
        } else if (arg == "--resource" && i + 3 < argc) {
            plat::restable::Input input;
            input.type = argv[i + 1];
            input.name = argv[i + 2];
            std::string file = argv[i + 3];
            i += 3;
            if (input.type.empty() || input.name.empty())
                return Usage();
            if (!ReadFile(file, input.data)) {
                std::cerr << "plat_rescomp: cannot read '" << file << "'\n";
                return 2;
            }
            inputs.push_back(std::move(input));
        } else {
            return Usage();
        }
    }
    std::vector<uint8_t> table = plat::restable::Build(inputs);
    std::string temporary = output + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(table.data()), std::streamsize(table.size()));
        if (!out) {
            std::cerr << "plat_rescomp: cannot write '" << temporary << "'\n";
            return 2;
        }
    }
    if (std::rename(temporary.c_str(), output.c_str()) != 0) {
        std::cerr << "plat_rescomp: cannot write '" << output << "'\n";
        return 2;
    }
    return 0;
}
