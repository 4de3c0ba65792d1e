// Package names, their resolution inside the package folder and digests.
#include "server/package_files.h"

// MD5 names a file, it protects nothing: the weak-algorithm namespace is fine.
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/md5.h>

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace distd {

namespace {

constexpr size_t kDigestReadBytes = 256 * 1024;

bool SameIdentity(const PackageFile& a, const PackageFile& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size && a.mtimeNs == b.mtimeNs;
}

bool Md5OfFile(int fd, uint64_t size, std::string& hex) {
    CryptoPP::Weak::MD5 md5;
    std::vector<CryptoPP::byte> buffer(kDigestReadBytes);
    uint64_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(offset));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (got == 0) {
            break;
        }
        md5.Update(buffer.data(), static_cast<size_t>(got));
        offset += static_cast<uint64_t>(got);
    }
    if (offset != size) {
        return false; // the file changed while it was read
    }
    CryptoPP::byte digest[CryptoPP::Weak::MD5::DIGESTSIZE];
    md5.Final(digest);
    static const char kHex[] = "0123456789abcdef";
    hex.clear();
    for (CryptoPP::byte b : digest) {
        hex += kHex[b >> 4];
        hex += kHex[b & 0xF];
    }
    return true;
}

} // namespace

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name == "." || name == "..") {
        return false;
    }
    for (char c : name) {
        const unsigned char ch = static_cast<unsigned char>(c);
        if (ch == '/' || ch < 0x20 || ch == 0x7F) {
            return false;
        }
    }
    return true;
}

bool ResolvePackage(const std::string& folderReal, const std::string& name, std::string& path,
                    std::string& error) {
    if (!IsPlainFileName(name)) {
        error = "'" + name + "' is not a plain file name";
        return false;
    }
    char resolved[PATH_MAX];
    const std::string candidate = folderReal + "/" + name;
    if (::realpath(candidate.c_str(), resolved) == nullptr) {
        error = "no file '" + name + "' in " + folderReal + " (" + std::strerror(errno) + ")";
        return false;
    }
    const std::string real = resolved;
    if (real.size() <= folderReal.size() + 1 ||
        real.compare(0, folderReal.size(), folderReal) != 0 || real[folderReal.size()] != '/') {
        error = "'" + name + "' leads out of the package folder " + folderReal;
        return false;
    }
    struct stat st;
    if (::stat(real.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "'" + name + "' is not a regular file";
        return false;
    }
    path = real;
    return true;
}

bool DescribeOpenFile(int fd, PackageFile& out) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    out.size = static_cast<uint64_t>(st.st_size);
    out.device = static_cast<uint64_t>(st.st_dev);
    out.inode = static_cast<uint64_t>(st.st_ino);
    out.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

bool DigestCache::Describe(const std::string& path, PackageFile& out, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        error = "cannot open " + path + " (" + std::strerror(errno) + ")";
        return false;
    }
    PackageFile file;
    file.path = path;
    if (!DescribeOpenFile(fd, file)) {
        ::close(fd);
        error = path + " is not a regular file";
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_files.find(path);
        if (found != m_files.end() && SameIdentity(found->second, file)) {
            out = found->second;
            ::close(fd);
            return true;
        }
    }
    // Hash outside the lock: a large package must not hold up other lookups.
    const bool hashed = Md5OfFile(fd, file.size, file.md5);
    PackageFile after;
    const bool unchanged = DescribeOpenFile(fd, after) && SameIdentity(after, file);
    ::close(fd);
    if (!hashed || !unchanged) {
        error = "cannot read " + path + " completely (changed or unreadable while hashed)";
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_files[path] = file;
    ++m_computed;
    out = file;
    return true;
}

uint64_t DigestCache::Computed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_computed;
}

} // namespace distd
