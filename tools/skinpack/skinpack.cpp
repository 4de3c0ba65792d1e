// Reproducible zip writer for skin folders (see skinpack.h).
#include "tools/skinpack/skinpack.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>

namespace skinpack {

namespace {

constexpr uint16_t kVersionNeeded = 20; // 2.0: deflate
constexpr uint16_t kFlagUtf8Name = 0x0800;
constexpr uint16_t kMethodDeflate = 8;
constexpr uint16_t kDosTime = 0;                       // 00:00:00
constexpr uint16_t kDosDate = (0 << 9) | (1 << 5) | 1; // 1980-01-01

void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

bool Deflate(const std::vector<uint8_t>& in, std::vector<uint8_t>* out) {
    z_stream zs{};
    if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        return false;
    out->resize(deflateBound(&zs, static_cast<uLong>(in.size())) + 16);
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = out->data();
    zs.avail_out = static_cast<uInt>(out->size());
    int rc = deflate(&zs, Z_FINISH);
    size_t produced = zs.total_out;
    deflateEnd(&zs);
    if (rc != Z_STREAM_END)
        return false;
    out->resize(produced);
    return true;
}

bool IsPrintableAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

bool BuildZip(std::vector<Entry> entries, std::vector<uint8_t>* out, std::string* error) {
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    std::set<std::string> seen;
    for (const Entry& e : entries) {
        if (e.name.empty() || !IsPrintableAscii(e.name) || e.name.size() > 0xFFFF) {
            *error = "entry name is empty or not printable ASCII: " + e.name;
            return false;
        }
        if (e.name.back() == '/') {
            *error = "folder entries are not stored: " + e.name;
            return false;
        }
        if (!seen.insert(e.name).second) {
            *error = "duplicate entry name: " + e.name;
            return false;
        }
        if (e.data.size() >= 0xFFFFFFFFu) {
            *error = "entry too large: " + e.name;
            return false;
        }
    }
    std::vector<uint8_t> zip;
    std::vector<uint8_t> central;
    for (const Entry& e : entries) {
        std::vector<uint8_t> packed;
        if (!Deflate(e.data, &packed)) {
            *error = "deflate failed for " + e.name;
            return false;
        }
        uint32_t crc =
            static_cast<uint32_t>(crc32(0, e.data.data(), static_cast<uInt>(e.data.size())));
        if (zip.size() + packed.size() + 64 + e.name.size() >= 0xFFFFFFFFu) {
            *error = "archive too large";
            return false;
        }
        uint32_t offset = static_cast<uint32_t>(zip.size());
        // Local file header
        Put32(zip, 0x04034b50);
        Put16(zip, kVersionNeeded);
        Put16(zip, kFlagUtf8Name);
        Put16(zip, kMethodDeflate);
        Put16(zip, kDosTime);
        Put16(zip, kDosDate);
        Put32(zip, crc);
        Put32(zip, static_cast<uint32_t>(packed.size()));
        Put32(zip, static_cast<uint32_t>(e.data.size()));
        Put16(zip, static_cast<uint32_t>(e.name.size()));
        Put16(zip, 0);
        zip.insert(zip.end(), e.name.begin(), e.name.end());
        zip.insert(zip.end(), packed.begin(), packed.end());
        // Central directory header
        Put32(central, 0x02014b50);
        Put16(central, kVersionNeeded); // made by: MS-DOS, 2.0
        Put16(central, kVersionNeeded);
        Put16(central, kFlagUtf8Name);
        Put16(central, kMethodDeflate);
        Put16(central, kDosTime);
        Put16(central, kDosDate);
        Put32(central, crc);
        Put32(central, static_cast<uint32_t>(packed.size()));
        Put32(central, static_cast<uint32_t>(e.data.size()));
        Put16(central, static_cast<uint32_t>(e.name.size()));
        Put16(central, 0); // extra
        Put16(central, 0); // comment
        Put16(central, 0); // disk
        Put16(central, 0); // internal attributes
        Put32(central, 0); // external attributes
        Put32(central, offset);
        central.insert(central.end(), e.name.begin(), e.name.end());
    }
    if (entries.size() > 0xFFFF || zip.size() + central.size() >= 0xFFFFFFFFu) {
        *error = "archive too large";
        return false;
    }
    uint32_t cdOffset = static_cast<uint32_t>(zip.size());
    zip.insert(zip.end(), central.begin(), central.end());
    // End of central directory
    Put32(zip, 0x06054b50);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, static_cast<uint32_t>(entries.size()));
    Put16(zip, static_cast<uint32_t>(entries.size()));
    Put32(zip, static_cast<uint32_t>(central.size()));
    Put32(zip, cdOffset);
    Put16(zip, 0);
    *out = std::move(zip);
    return true;
}

bool CollectFolder(const std::string& dir, const std::vector<std::string>& extensions,
                   std::vector<Entry>* entries, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        *error = "not a folder: " + dir;
        return false;
    }
    std::set<std::string> wanted;
    for (const std::string& ext : extensions)
        wanted.insert(Lower(ext));
    fs::directory_iterator it(dir, ec), end;
    if (ec) {
        *error = "cannot list " + dir + ": " + ec.message();
        return false;
    }
    for (; it != end; it.increment(ec)) {
        if (ec) {
            *error = "cannot list " + dir + ": " + ec.message();
            return false;
        }
        const fs::path& p = it->path();
        std::string name = p.filename().string();
        if (name.empty() || name[0] == '.' || !it->is_regular_file(ec))
            continue;
        std::string ext = p.extension().string();
        if (!ext.empty())
            ext = Lower(ext.substr(1));
        if (!wanted.empty() && wanted.count(ext) == 0)
            continue;
        std::ifstream in(p, std::ios::binary);
        if (!in) {
            *error = "cannot read " + p.string();
            return false;
        }
        Entry e;
        e.name = name;
        e.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) {
            *error = "cannot read " + p.string();
            return false;
        }
        entries->push_back(std::move(e));
    }
    return true;
}

bool PackFolder(const std::string& dir, const std::vector<std::string>& extensions,
                const std::string& outPath, std::string* error) {
    std::vector<Entry> entries;
    if (!CollectFolder(dir, extensions, &entries, error))
        return false;
    std::vector<uint8_t> zip;
    if (!BuildZip(std::move(entries), &zip, error))
        return false;
    std::string tmp = outPath + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(zip.data()),
                  static_cast<std::streamsize>(zip.size()));
        out.close();
        if (!out) {
            *error = "cannot write " + tmp;
            std::error_code ec;
            std::filesystem::remove(tmp, ec);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, outPath, ec);
    if (ec) {
        *error = "cannot replace " + outPath + ": " + ec.message();
        std::filesystem::remove(tmp, ec);
        return false;
    }
    return true;
}

} // namespace skinpack
