// Packing a skin folder into the zip archive the toolkit reads.
//
// The archive is reproducible: the same files always give the same bytes.
// Every entry is compressed with deflate, carries a fixed timestamp
// (1980-01-01 00:00) and the UTF-8 name flag, and entries are stored in the
// byte order of their names. Only files are stored (no folder entries);
// names must be printable ASCII.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skinpack {

struct Entry {
    std::string name;          // name inside the archive
    std::vector<uint8_t> data; // uncompressed contents
};

// Builds the archive from entries (sorted by name here). False, with a
// reason in *error, for an empty, non-ASCII or duplicate name, or an entry
// too large for a zip without 64-bit extensions.
bool BuildZip(std::vector<Entry> entries, std::vector<uint8_t>* out, std::string* error);

// Reads the regular files directly inside dir (not its subfolders) whose
// extension (case-insensitive, without the dot) is in extensions; every file
// when extensions is empty. Hidden files (starting with '.') are skipped.
bool CollectFolder(const std::string& dir, const std::vector<std::string>& extensions,
                   std::vector<Entry>* entries, std::string* error);

// CollectFolder + BuildZip + write to outPath (replaced only when complete).
bool PackFolder(const std::string& dir, const std::vector<std::string>& extensions,
                const std::string& outPath, std::string* error);

} // namespace skinpack
