// The product's licence agreement, served at /service/clause: the page the
// installer's start window opens in the browser. A complete HTML page in
// Chinese, UTF-8.
#pragma once

#include <string>

namespace distd {

const std::string& LicencePage();

} // namespace distd
