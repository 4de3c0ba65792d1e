// The catalogue: what the service hands out. Per channel (and a default
// channel "*"), releases for ranges of installer versions, each naming the
// product version, the product package and optionally a .NET package with
// its parameters; and the product ids whose reports are accepted, with
// their keys and IVs. The file is JSON:
//
//   {
//     "package_dir": "packages",              relative to the catalogue file
//     "public_url": "http://host:port",       optional; else the request's Host
//     "products": [ {"id": "51", "key": "...32 bytes...", "iv": "...16 bytes..."} ],
//     "dotnet": {"major_version": "4", "package": "dotnet.exe", "parameters": "/q"},
//     "channels": [
//       {"channel": "10001",                  "*" is the default channel
//        "releases": [
//          {"min_installer": "1.0", "max_installer": "1.1.8.305",   both optional
//           "product_version": "2.0.1", "package": "setup-2.0.1.exe",
//           "url": "https://cdn.example/setup-2.0.1.exe",   optional
//           "md5": "...32 hex digits...",                    optional
//           "dotnet": {...}}                  optional; overrides the top-level one
//        ]}
//     ]
//   }
//
// A package is downloaded from this service unless its entry names a "url"
// on another host (a mirror or CDN). Its MD5 digest is computed from the
// local copy in the package folder; a package served from elsewhere may
// instead have its digest given with the entry ("md5"). When both are there
// they must agree, and a package with neither is refused.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/package_files.h"

namespace distd {

// A dotted version of 1 to 4 decimal parts (each 0..65535).
using Version = std::vector<uint32_t>;
bool ParseVersion(const std::string& text, Version& out);
// Missing parts count as 0: 1.2 == 1.2.0.0.
int CompareVersions(const Version& a, const Version& b);

struct DotNetPackage {
    std::string majorVersion;
    std::string package;
    std::string parameters;
    std::string url; // empty: served by this service
    std::string md5; // given with the entry (lower case); empty: from the local copy
};

struct Release {
    std::string minText; // empty: no lower bound
    std::string maxText; // empty: no upper bound
    Version minVersion;
    Version maxVersion;
    std::string productVersion;
    std::string package;
    std::string packageUrl; // empty: served by this service
    std::string packageMd5; // given with the entry (lower case); empty: from the local copy
    bool hasDotNet = false;
    DotNetPackage dotNet;
};

struct ChannelReleases {
    std::string channel;
    std::vector<Release> releases;
};

struct ProductKey {
    std::string id;
    std::string key;
    std::string iv;
};

class Catalogue {
public:
    std::string sourcePath;    // the catalogue file as given
    std::string packageFolder; // real path of the package folder
    std::string publicUrl;     // no trailing slash; empty: from the request
    std::vector<ChannelReleases> channels;
    std::map<std::string, ProductKey> products;

    // The release for an installer's channel and version: the channel's own
    // releases, else the default channel's. Null when none covers the
    // version or the version is not a dotted version.
    const Release* Find(const std::string& channel, const std::string& version) const;
    // True when a release names the package (product or .NET).
    bool IsPackage(const std::string& name) const;
    const ProductKey* Product(const std::string& id) const;
    // Every package name, once.
    std::vector<std::string> PackageNames() const;
};

// Reads and validates a catalogue; computes (or reuses) the digest of every
// package. False with a message naming the file and the place of the first
// fault.
bool LoadCatalogue(const std::string& path, DigestCache& digests,
                   std::shared_ptr<const Catalogue>& out, std::string& error);

// What each channel would get, as lines of text (for `distd check`).
std::string DescribeCatalogue(const Catalogue& catalogue, DigestCache& digests);

} // namespace distd

namespace distd {

// The catalogue in force: loaded from its file at start and again on
// request (SIGHUP). A catalogue that fails to load is refused and the one in
// force stays. Thread-safe; readers keep the snapshot they took.
class CatalogueHolder {
public:
    explicit CatalogueHolder(std::string path) : m_path(std::move(path)) {}

    // Loads the file; on failure keeps what was in force and says why.
    bool Load(std::string& error);
    std::shared_ptr<const Catalogue> Get() const;
    DigestCache& Digests() { return m_digests; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    DigestCache m_digests;
    mutable std::mutex m_mutex;
    std::shared_ptr<const Catalogue> m_current;
};

} // namespace distd
