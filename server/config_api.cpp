// The install configuration API.
#include "server/config_api.h"

#include "server/text_util.h"

#include <json/json.h>

namespace distd {

namespace {

std::string Compact(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

ConfigAnswer Failure(int status, const std::string& message) {
    Json::Value root(Json::objectValue);
    root["code"] = std::to_string(status);
    root["msg"] = message;
    root["data"] = Json::Value(Json::nullValue);
    return ConfigAnswer{status, Compact(root)};
}

bool IsPlainHost(const std::string& host) {
    if (host.empty() || host.size() > 255) {
        return false;
    }
    for (char ch : host) {
        const bool ok = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                        (ch >= '0' && ch <= '9') || ch == '.' || ch == '-' || ch == ':' ||
                        ch == '[' || ch == ']';
        if (!ok) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string DownloadUrl(const std::string& baseUrl, const std::string& package) {
    return baseUrl + "/download/" + PercentEncode(package);
}

std::string PublicBaseUrl(const Catalogue& catalogue, const HttpRequest& req) {
    if (!catalogue.publicUrl.empty()) {
        return catalogue.publicUrl;
    }
    const std::string host = req.Header("Host");
    if (IsPlainHost(host)) {
        return "http://" + host;
    }
    const bool v6 = req.localAddr.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + req.localAddr + "]" : req.localAddr) + ":" +
           std::to_string(req.localPort);
}

ConfigAnswer AnswerConfig(const Catalogue& catalogue, DigestCache& digests,
                          const std::string& version, const std::string& channel,
                          const std::string& baseUrl) {
    Version parsed;
    if (!ParseVersion(version, parsed)) {
        return Failure(400, "\"" + PrintableText(version, 64) + "\" is not an installer version");
    }
    const Release* release = catalogue.Find(channel, version);
    if (release == nullptr) {
        return Failure(404, "no release for channel \"" + PrintableText(channel, 64) +
                                "\" and installer version " + version);
    }
    // The digests come from the files as they are now: a package replaced
    // since the catalogue was loaded gets its new digest.
    auto describe = [&](const std::string& name, const std::string& url, const std::string& given,
                        std::string& md5) {
        // A package another host serves is described by the digest given
        // with it; the local copy, if any, agreed with it at load.
        if (!url.empty() && !given.empty()) {
            md5 = given;
            return true;
        }
        std::string path;
        std::string error;
        PackageFile file;
        if (!ResolvePackage(catalogue.packageFolder, name, path, error) ||
            !digests.Describe(path, file, error)) {
            return false;
        }
        md5 = file.md5;
        return true;
    };
    Json::Value data(Json::objectValue);
    std::string productMd5;
    std::string dotNetMd5;
    if (!describe(release->package, release->packageUrl, release->packageMd5, productMd5) ||
        (release->hasDotNet &&
         !describe(release->dotNet.package, release->dotNet.url, release->dotNet.md5, dotNetMd5))) {
        return Failure(503, "a package of this release cannot be read");
    }
    data["sp"] = "1.0";
    data["pdfver"] = release->productVersion;
    data["pdfname"] = release->package;
    data["pdfdlurl"] =
        release->packageUrl.empty() ? DownloadUrl(baseUrl, release->package) : release->packageUrl;
    data["pdfmd5"] = productMd5;
    data["dotnetmajorver"] = release->hasDotNet ? release->dotNet.majorVersion : "";
    data["dotnetname"] = release->hasDotNet ? release->dotNet.package : "";
    data["dotnetparam"] = release->hasDotNet ? release->dotNet.parameters : "";
    data["dotnetdlurl"] = !release->hasDotNet ? ""
                          : release->dotNet.url.empty()
                              ? DownloadUrl(baseUrl, release->dotNet.package)
                              : release->dotNet.url;
    data["dotnetmd5"] = dotNetMd5;
    Json::Value root(Json::objectValue);
    root["code"] = "200";
    root["msg"] = "ok";
    root["data"] = data;
    return ConfigAnswer{200, Compact(root)};
}

void AddConfigRoutes(HttpServer& server, CatalogueHolder& catalogues) {
    // On the pool: a package's digest may have to be computed first.
    server.Get("/api/soft/pdf/type/install/sp/1.0/ver/{}/channel/{}",
               [&catalogues](const HttpRequest& req, HttpResponse& res) {
                   const std::shared_ptr<const Catalogue> catalogue = catalogues.Get();
                   const ConfigAnswer answer =
                       AnswerConfig(*catalogue, catalogues.Digests(), req.matches.at(0),
                                    req.matches.at(1), PublicBaseUrl(*catalogue, req));
                   res.status = answer.status;
                   res.SetHeader("Cache-Control", "no-store");
                   res.SetContent(answer.body, "application/json; charset=utf-8");
               });
}

} // namespace distd
