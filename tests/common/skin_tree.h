// Reading the control tree that `skinview --tree` prints: one control a line,
// `Class "name" left,top,right,bottom visible|hidden ["text"]`.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>

namespace skintree {

struct Rect {
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;
};

// The rectangle of the first control named `name`; all zero when there is
// none.
inline Rect ControlRect(const std::string& tree, const std::string& name) {
    Rect rc;
    std::istringstream lines(tree);
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find("\"" + name + "\" ");
        if (at == std::string::npos)
            continue;
        if (std::sscanf(line.c_str() + at + name.size() + 3, "%ld,%ld,%ld,%ld", &rc.left, &rc.top,
                        &rc.right, &rc.bottom) != 4)
            rc = Rect{};
        break;
    }
    return rc;
}

} // namespace skintree
