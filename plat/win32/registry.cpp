// The registry on Windows is the system's own.
#include "plat/sys/registry.h"

namespace plat {

std::string RegistryStorePath() {
    return "the Windows registry";
}

} // namespace plat
