// The package folder: naming a package safely and describing it (size,
// identity, MD5). Only plain file names are packages, and a name only ever
// resolves to a regular file whose real path lies inside the folder's real
// path, so neither "..", an encoded "..", nor a symbolic link can lead out.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace distd {

struct PackageFile {
    std::string path; // real path of the file
    uint64_t size = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t mtimeNs = 0; // modification time in nanoseconds since 1970
    std::string md5;     // 32 lower-case hex digits (when asked for)
};

// A package name: 1 to 255 bytes, no "/", no NUL or other control
// character, not "." or "..".
bool IsPlainFileName(const std::string& name);

// The real path of `name` inside the folder whose real path is `folderReal`.
// False with a reason when the name is not plain, nothing is there, it is
// not a regular file or its real path lies outside the folder.
bool ResolvePackage(const std::string& folderReal, const std::string& name, std::string& path,
                    std::string& error);

// Size, identity and time of an open file (fstat); false when it is not a
// regular file.
bool DescribeOpenFile(int fd, PackageFile& out);

// MD5 digests of package files, computed from the files and kept while a
// file keeps its identity (device, inode, size, modification time): a
// replaced or rewritten package gets a fresh digest. Thread-safe.
class DigestCache {
public:
    // Describes the file at the real path `path` with its digest. False with
    // a reason when it cannot be read.
    bool Describe(const std::string& path, PackageFile& out, std::string& error);

    // Number of digests computed so far (each a full read of a file).
    uint64_t Computed() const;

private:
    mutable std::mutex m_mutex;
    std::unordered_map<std::string, PackageFile> m_files;
    uint64_t m_computed = 0;
};

} // namespace distd
