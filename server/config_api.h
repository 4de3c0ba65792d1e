// The install configuration API: GET
// /api/soft/pdf/type/install/sp/1.0/ver/{ver}/channel/{channel} answers the
// configuration JSON the installer reads, with download URLs pointing back
// at this service (or at the catalogue's public URL) and MD5 digests taken
// from the package files. A channel or version without a release gets the
// API's failure form, which the installer reads as "no configuration".
#pragma once

#include <string>

#include "server/catalogue.h"
#include "server/http_server.h"

namespace distd {

struct ConfigAnswer {
    int status = 200;
    std::string body; // JSON
};

// The answer for an installer version and channel; `baseUrl` (no trailing
// slash) is where the packages are downloaded from.
ConfigAnswer AnswerConfig(const Catalogue& catalogue, DigestCache& digests,
                          const std::string& version, const std::string& channel,
                          const std::string& baseUrl);

// The base URL of this service as the request reached it: the catalogue's
// public URL when it has one, else http:// and the request's Host (when it
// is a plain host[:port]), else the address the request arrived on.
std::string PublicBaseUrl(const Catalogue& catalogue, const HttpRequest& req);

// The download URL of a package under a base URL.
std::string DownloadUrl(const std::string& baseUrl, const std::string& package);

void AddConfigRoutes(HttpServer& server, CatalogueHolder& catalogues);

} // namespace distd
