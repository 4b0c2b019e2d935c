#pragma once
// What zeloctl needs from the system under it, in one small seam: the
// sockets started, a console that shows the UTF-8 it prints, the command
// line as UTF-8, and paths in the form the platform's file functions take.

#include <string>
#include <vector>

namespace zelo::cli {

// Once, before any command runs. False when the sockets cannot be started.
bool startPlatform();

// The program's arguments after the program name, as UTF-8 (names on the
// command line are compared with the stored texts through UTF-8).
std::vector<std::string> utf8Arguments(int argc, char** argv);

// A path from the command line (UTF-8) as the file functions take it.
std::string filePath(const std::string& utf8);

// Whether the user's locale is Japanese (LC_ALL, LC_MESSAGES or LANG
// beginning with "ja"; on Windows the user's interface language).
bool japaneseLocale();

}  // namespace zelo::cli
