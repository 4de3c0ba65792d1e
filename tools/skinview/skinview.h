// skinview: builds a skin layout off-screen for a window size, sets control
// states, paints it to a PNG and prints the laid-out control tree. The skin
// author's preview, and the way tests look at whole windows.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace skinview {

// Runs the tool with its command-line arguments (without the program name).
// Writes the tree and messages to `out`, errors to `err`. Returns the exit
// status: 0 on success, 1 when the layout cannot be built or the PNG cannot
// be written, 2 for bad arguments.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The usage text.
std::string Usage();

} // namespace skinview
