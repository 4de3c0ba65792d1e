// plat's Windows face: there is no automation socket on Windows. Programs
// there are driven as a person would drive them, through the system's own
// input; the toolkit's start-up call does nothing.
#pragma once

namespace plat {

inline bool AutomationStartFromEnvironment() {
    return false;
}

} // namespace plat
