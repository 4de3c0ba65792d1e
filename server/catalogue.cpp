// Reading, validating and describing the catalogue.
#include "server/catalogue.h"

#include <json/json.h>

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <set>
#include <sstream>

namespace distd {

namespace {

// Collects the first fault with the place where it was found.
class Checker {
public:
    explicit Checker(std::string file) : m_file(std::move(file)) {}

    bool Fail(const std::string& where, const std::string& what) {
        if (m_error.empty()) {
            m_error = "catalogue " + m_file + ": " + (where.empty() ? "" : where + ": ") + what;
        }
        return false;
    }
    const std::string& Error() const { return m_error; }

    // Only the listed members may appear in an object.
    bool OnlyMembers(const Json::Value& object, const std::string& where,
                     std::initializer_list<const char*> allowed) {
        for (const std::string& name : object.getMemberNames()) {
            bool known = false;
            for (const char* candidate : allowed) {
                known = known || name == candidate;
            }
            if (!known) {
                return Fail(where, "unknown member \"" + name + "\"");
            }
        }
        return true;
    }

    // A string member; `required` makes a missing one a fault.
    bool Text(const Json::Value& object, const char* name, const std::string& where, bool required,
              std::string& out) {
        const Json::Value& value = object[name];
        if (value.isNull() && !required) {
            out.clear();
            return true;
        }
        if (!value.isString()) {
            return Fail(where, std::string("\"") + name + "\" must be a string");
        }
        out = value.asString();
        if (required && out.empty()) {
            return Fail(where, std::string("\"") + name + "\" must not be empty");
        }
        for (char c : out) {
            if (static_cast<unsigned char>(c) < 0x20) {
                return Fail(where, std::string("\"") + name + "\" holds a control character");
            }
        }
        return true;
    }

private:
    std::string m_file;
    std::string m_error;
};

bool ReadJson(const std::string& path, Json::Value& root, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "catalogue " + path + ": cannot be read (" + std::strerror(errno) + ")";
        return false;
    }
    std::string text;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
        text.append(buffer, got);
        if (text.size() > 16 * 1024 * 1024) {
            std::fclose(file);
            error = "catalogue " + path + ": larger than 16 MiB";
            return false;
        }
    }
    std::fclose(file);
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["allowComments"] = true;
    builder["strictRoot"] = true;
    builder["failIfExtra"] = true;
    builder["rejectDupKeys"] = true;
    builder["stackLimit"] = 64;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    bool parsed = false;
    try {
        parsed = reader->parse(text.data(), text.data() + text.size(), &root, &errors);
    } catch (const std::exception& e) {
        errors = e.what();
    }
    if (!parsed) {
        while (!errors.empty() && (errors.back() == '\n' || errors.back() == ' ')) {
            errors.pop_back();
        }
        error = "catalogue " + path + ": not valid JSON: " + errors;
        return false;
    }
    if (!root.isObject()) {
        error = "catalogue " + path + ": the top level must be an object";
        return false;
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The "url" and "md5" of a package entry: an http(s) URL without spaces,
// and 32 hexadecimal digits (kept in lower case).
bool ReadRemote(Checker& check, const Json::Value& value, const std::string& where,
                std::string& url, std::string& md5) {
    if (!check.Text(value, "url", where, false, url) ||
        !check.Text(value, "md5", where, false, md5)) {
        return false;
    }
    if (!url.empty() &&
        ((url.compare(0, 7, "http://") != 0 && url.compare(0, 8, "https://") != 0) ||
         url.find(' ') != std::string::npos)) {
        return check.Fail(where, "\"url\" must be an http:// or https:// URL without spaces");
    }
    if (!md5.empty()) {
        if (md5.size() != 32 ||
            md5.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return check.Fail(where, "\"md5\" must be 32 hexadecimal digits");
        }
        for (char& ch : md5) {
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        }
    }
    return true;
}

bool ReadDotNet(Checker& check, const Json::Value& value, const std::string& where,
                DotNetPackage& out) {
    if (!value.isObject()) {
        return check.Fail(where, "must be an object");
    }
    return check.OnlyMembers(value, where,
                             {"major_version", "package", "parameters", "url", "md5"}) &&
           check.Text(value, "major_version", where, false, out.majorVersion) &&
           check.Text(value, "package", where, true, out.package) &&
           check.Text(value, "parameters", where, false, out.parameters) &&
           ReadRemote(check, value, where, out.url, out.md5);
}

// A package entry's digest: from the local copy, or given with an entry
// whose package another host serves; both must agree when both are there.
bool ReadPackage(Checker& check, const std::string& folder, const std::string& name,
                 const std::string& url, const std::string& md5, const std::string& where,
                 DigestCache& digests) {
    std::string path;
    std::string error;
    if (!ResolvePackage(folder, name, path, error)) {
        if (url.empty() || !IsPlainFileName(name)) {
            return check.Fail(where, error);
        }
        if (md5.empty()) {
            return check.Fail(where, "served from " + url + " but has neither a local copy (" +
                                         error + ") nor an \"md5\"");
        }
        return true;
    }
    PackageFile file;
    if (!digests.Describe(path, file, error)) {
        return check.Fail(where, error);
    }
    if (!md5.empty() && md5 != file.md5) {
        return check.Fail(where, "\"md5\" " + md5 + " differs from the local copy's " + file.md5);
    }
    return true;
}

bool ReadRelease(Checker& check, const Json::Value& value, const std::string& where,
                 const Catalogue& catalogue, DigestCache& digests, Release& out) {
    if (!value.isObject()) {
        return check.Fail(where, "must be an object");
    }
    if (!check.OnlyMembers(value, where,
                           {"min_installer", "max_installer", "product_version", "package", "url",
                            "md5", "dotnet"}) ||
        !check.Text(value, "min_installer", where, false, out.minText) ||
        !check.Text(value, "max_installer", where, false, out.maxText) ||
        !check.Text(value, "product_version", where, true, out.productVersion) ||
        !check.Text(value, "package", where, true, out.package) ||
        !ReadRemote(check, value, where, out.packageUrl, out.packageMd5)) {
        return false;
    }
    if (!out.minText.empty() && !ParseVersion(out.minText, out.minVersion)) {
        return check.Fail(where, "\"min_installer\" is not a dotted version: " + out.minText);
    }
    if (!out.maxText.empty() && !ParseVersion(out.maxText, out.maxVersion)) {
        return check.Fail(where, "\"max_installer\" is not a dotted version: " + out.maxText);
    }
    if (!out.minText.empty() && !out.maxText.empty() &&
        CompareVersions(out.minVersion, out.maxVersion) > 0) {
        return check.Fail(where, "\"min_installer\" is above \"max_installer\"");
    }
    if (!IsPlainFileName(out.productVersion) ||
        out.productVersion.find('\\') != std::string::npos) {
        return check.Fail(where, "\"product_version\" must be usable as a folder name");
    }
    if (!ReadPackage(check, catalogue.packageFolder, out.package, out.packageUrl, out.packageMd5,
                     where + ".package", digests)) {
        return false;
    }
    if (value.isMember("dotnet")) {
        out.hasDotNet = true;
        if (!ReadDotNet(check, value["dotnet"], where + ".dotnet", out.dotNet) ||
            !ReadPackage(check, catalogue.packageFolder, out.dotNet.package, out.dotNet.url,
                         out.dotNet.md5, where + ".dotnet.package", digests)) {
            return false;
        }
    }
    return true;
}

// Two releases of one channel may not both cover a version: the answer for
// every version must be unambiguous.
bool Overlap(const Release& a, const Release& b) {
    // a starts at or before b ends, and b starts at or before a ends.
    const bool aBeforeBEnds =
        a.minText.empty() || b.maxText.empty() || CompareVersions(a.minVersion, b.maxVersion) <= 0;
    const bool bBeforeAEnds =
        b.minText.empty() || a.maxText.empty() || CompareVersions(b.minVersion, a.maxVersion) <= 0;
    return aBeforeBEnds && bBeforeAEnds;
}

bool Covers(const Release& release, const Version& version) {
    return (release.minText.empty() || CompareVersions(release.minVersion, version) <= 0) &&
           (release.maxText.empty() || CompareVersions(version, release.maxVersion) <= 0);
}

std::string RangeText(const Release& release) {
    if (release.minText.empty() && release.maxText.empty()) {
        return "every installer version";
    }
    if (release.minText.empty()) {
        return "installer up to " + release.maxText;
    }
    if (release.maxText.empty()) {
        return "installer " + release.minText + " and later";
    }
    return "installer " + release.minText + " to " + release.maxText;
}

} // namespace

bool ParseVersion(const std::string& text, Version& out) {
    out.clear();
    size_t start = 0;
    while (true) {
        const size_t dot = text.find('.', start);
        const std::string part = text.substr(start, dot == std::string::npos ? dot : dot - start);
        if (part.empty() || part.size() > 5) {
            return false;
        }
        uint32_t value = 0;
        for (char ch : part) {
            if (ch < '0' || ch > '9') {
                return false;
            }
            value = value * 10 + static_cast<uint32_t>(ch - '0');
        }
        if (value > 65535 || out.size() == 4) {
            return false;
        }
        out.push_back(value);
        if (dot == std::string::npos) {
            return true;
        }
        start = dot + 1;
    }
}

int CompareVersions(const Version& a, const Version& b) {
    for (size_t i = 0; i < 4; ++i) {
        const uint32_t x = i < a.size() ? a[i] : 0;
        const uint32_t y = i < b.size() ? b[i] : 0;
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return 0;
}

const Release* Catalogue::Find(const std::string& channel, const std::string& version) const {
    Version parsed;
    if (!ParseVersion(version, parsed)) {
        return nullptr;
    }
    const ChannelReleases* own = nullptr;
    const ChannelReleases* fallback = nullptr;
    for (const ChannelReleases& entry : channels) {
        if (entry.channel == channel) {
            own = &entry;
        } else if (entry.channel == "*") {
            fallback = &entry;
        }
    }
    for (const ChannelReleases* entry : {own, fallback}) {
        if (entry == nullptr) {
            continue;
        }
        for (const Release& release : entry->releases) {
            if (Covers(release, parsed)) {
                return &release;
            }
        }
    }
    return nullptr;
}

bool Catalogue::IsPackage(const std::string& name) const {
    for (const ChannelReleases& entry : channels) {
        for (const Release& release : entry.releases) {
            if (release.package == name || (release.hasDotNet && release.dotNet.package == name)) {
                return true;
            }
        }
    }
    return false;
}

const ProductKey* Catalogue::Product(const std::string& id) const {
    const auto found = products.find(id);
    return found == products.end() ? nullptr : &found->second;
}

std::vector<std::string> Catalogue::PackageNames() const {
    std::set<std::string> names;
    for (const ChannelReleases& entry : channels) {
        for (const Release& release : entry.releases) {
            names.insert(release.package);
            if (release.hasDotNet) {
                names.insert(release.dotNet.package);
            }
        }
    }
    return std::vector<std::string>(names.begin(), names.end());
}

bool LoadCatalogue(const std::string& path, DigestCache& digests,
                   std::shared_ptr<const Catalogue>& out, std::string& error) {
    Json::Value root;
    if (!ReadJson(path, root, error)) {
        return false;
    }
    Checker check(path);
    auto catalogue = std::make_shared<Catalogue>();
    catalogue->sourcePath = path;
    if (!check.OnlyMembers(root, "",
                           {"package_dir", "public_url", "products", "dotnet", "channels"})) {
        error = check.Error();
        return false;
    }

    std::string folder;
    if (!check.Text(root, "package_dir", "package_dir", true, folder) ||
        !check.Text(root, "public_url", "public_url", false, catalogue->publicUrl)) {
        error = check.Error();
        return false;
    }
    if (folder[0] != '/') {
        folder = FolderOf(path) + "/" + folder;
    }
    char real[PATH_MAX];
    struct stat st;
    if (::realpath(folder.c_str(), real) == nullptr || ::stat(real, &st) != 0 ||
        !S_ISDIR(st.st_mode)) {
        error = "catalogue " + path + ": package_dir: " + folder + " is not a folder";
        return false;
    }
    catalogue->packageFolder = real;
    std::string& url = catalogue->publicUrl;
    while (!url.empty() && url.back() == '/') {
        url.pop_back();
    }
    if (!url.empty() && url.compare(0, 7, "http://") != 0 && url.compare(0, 8, "https://") != 0) {
        error = "catalogue " + path + ": public_url: must begin with http:// or https://";
        return false;
    }

    const Json::Value& products = root["products"];
    if (!products.isArray() || products.empty()) {
        error = "catalogue " + path + ": products: must be a non-empty array";
        return false;
    }
    for (Json::ArrayIndex i = 0; i < products.size(); ++i) {
        const std::string where = "products[" + std::to_string(i) + "]";
        const Json::Value& item = products[i];
        ProductKey key;
        if (!item.isObject()) {
            check.Fail(where, "must be an object");
        } else if (check.OnlyMembers(item, where, {"id", "key", "iv"}) &&
                   check.Text(item, "id", where, true, key.id) &&
                   check.Text(item, "key", where, true, key.key) &&
                   check.Text(item, "iv", where, true, key.iv)) {
            if (key.id.find('_') != std::string::npos || key.id.find('&') != std::string::npos) {
                check.Fail(where, "\"id\" may not contain '_' or '&'");
            } else if (key.key.size() != 16 && key.key.size() != 24 && key.key.size() != 32) {
                check.Fail(where, "\"key\" must have 16, 24 or 32 bytes, not " +
                                      std::to_string(key.key.size()));
            } else if (key.iv.size() < 16) {
                check.Fail(where, "\"iv\" must have at least 16 bytes");
            } else if (!catalogue->products.emplace(key.id, key).second) {
                check.Fail(where, "product \"" + key.id + "\" appears twice");
            }
        }
        if (!check.Error().empty()) {
            error = check.Error();
            return false;
        }
    }

    bool hasDefaultDotNet = false;
    DotNetPackage defaultDotNet;
    if (root.isMember("dotnet")) {
        hasDefaultDotNet = true;
        if (!ReadDotNet(check, root["dotnet"], "dotnet", defaultDotNet) ||
            !ReadPackage(check, catalogue->packageFolder, defaultDotNet.package, defaultDotNet.url,
                         defaultDotNet.md5, "dotnet.package", digests)) {
            error = check.Error();
            return false;
        }
    }

    const Json::Value& channels = root["channels"];
    if (!channels.isArray() || channels.empty()) {
        error = "catalogue " + path + ": channels: must be a non-empty array";
        return false;
    }
    std::set<std::string> seen;
    for (Json::ArrayIndex i = 0; i < channels.size(); ++i) {
        const std::string where = "channels[" + std::to_string(i) + "]";
        const Json::Value& item = channels[i];
        ChannelReleases entry;
        if (!item.isObject()) {
            check.Fail(where, "must be an object");
        } else if (check.OnlyMembers(item, where, {"channel", "releases"}) &&
                   check.Text(item, "channel", where, true, entry.channel)) {
            if (!seen.insert(entry.channel).second) {
                check.Fail(where, "channel \"" + entry.channel + "\" appears twice");
            }
            const Json::Value& releases = item["releases"];
            if (check.Error().empty() && (!releases.isArray() || releases.empty())) {
                check.Fail(where, "\"releases\" must be a non-empty array");
            }
            for (Json::ArrayIndex r = 0; check.Error().empty() && r < releases.size(); ++r) {
                const std::string at = where + ".releases[" + std::to_string(r) + "]";
                Release release;
                if (!ReadRelease(check, releases[r], at, *catalogue, digests, release)) {
                    break;
                }
                if (!release.hasDotNet && hasDefaultDotNet) {
                    release.hasDotNet = true;
                    release.dotNet = defaultDotNet;
                }
                for (size_t other = 0; other < entry.releases.size(); ++other) {
                    if (Overlap(entry.releases[other], release)) {
                        check.Fail(at, "overlaps releases[" + std::to_string(other) +
                                           "] of the same channel");
                        break;
                    }
                }
                entry.releases.push_back(release);
            }
        }
        if (!check.Error().empty()) {
            error = check.Error();
            return false;
        }
        catalogue->channels.push_back(entry);
    }
    out = catalogue;
    return true;
}

std::string DescribeCatalogue(const Catalogue& catalogue, DigestCache& digests) {
    std::ostringstream text;
    auto describePackage = [&](const std::string& name, const std::string& url,
                               const std::string& md5) {
        const std::string from = url.empty() ? "" : " from " + url;
        std::string path;
        std::string error;
        PackageFile file;
        if (!ResolvePackage(catalogue.packageFolder, name, path, error) ||
            !digests.Describe(path, file, error)) {
            return name + from +
                   (md5.empty() ? " (" + error + ")" : " (md5 " + md5 + " given, no local copy)");
        }
        return name + from + " (" + std::to_string(file.size) + " bytes, md5 " + file.md5 +
               (md5.empty() ? "" : ", as given") + ")";
    };
    size_t releases = 0;
    for (const ChannelReleases& entry : catalogue.channels) {
        releases += entry.releases.size();
    }
    text << "catalogue " << catalogue.sourcePath << ": valid\n";
    text << "packages from " << catalogue.packageFolder << ", download URLs "
         << (catalogue.publicUrl.empty() ? "from each request's host" : catalogue.publicUrl)
         << "\n";
    text << catalogue.channels.size() << " channel(s), " << releases << " release(s), "
         << catalogue.products.size() << " product(s)\n";
    for (const ChannelReleases& entry : catalogue.channels) {
        text << "channel " << entry.channel << (entry.channel == "*" ? " (default)" : "") << "\n";
        for (const Release& release : entry.releases) {
            text << "  " << RangeText(release) << ": product " << release.productVersion
                 << ", package "
                 << describePackage(release.package, release.packageUrl, release.packageMd5)
                 << "\n";
            if (release.hasDotNet) {
                text << "    .NET " << release.dotNet.majorVersion << ": "
                     << describePackage(release.dotNet.package, release.dotNet.url,
                                        release.dotNet.md5)
                     << ", parameters \"" << release.dotNet.parameters << "\"\n";
            } else {
                text << "    no .NET package\n";
            }
        }
    }
    for (const auto& product : catalogue.products) {
        text << "product " << product.first << ": key of " << product.second.key.size()
             << " bytes, iv of " << product.second.iv.size() << " bytes\n";
    }
    return text.str();
}

} // namespace distd

namespace distd {

bool CatalogueHolder::Load(std::string& error) {
    std::shared_ptr<const Catalogue> loaded;
    if (!LoadCatalogue(m_path, m_digests, loaded, error)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_current = loaded;
    return true;
}

std::shared_ptr<const Catalogue> CatalogueHolder::Get() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_current;
}

} // namespace distd
