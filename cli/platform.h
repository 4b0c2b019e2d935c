#pragma once
// What zeloctl needs from the system under it, in one small seam: the
// sockets started, a console that shows the UTF-8 it prints, and the command
// line as UTF-8 (paths stay UTF-8: the core's file calls take them so).

#include <string>
#include <vector>

namespace zelo::cli {

// Once, before any command runs. False when the sockets cannot be started.
bool startPlatform();

// The program's arguments after the program name, as UTF-8 (names on the
// command line are compared with the stored texts through UTF-8).
std::vector<std::string> utf8Arguments(int argc, char** argv);

}  // namespace zelo::cli
