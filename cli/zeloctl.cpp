// zeloctl: the headless front end over the same core as ZELO.exe.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/platform.h"

namespace {

using zelo::cli::commands;
using zelo::cli::kExitOk;
using zelo::cli::kExitUsage;

void printHelp(std::ostream& out) {
    out << "usage: zeloctl [--dir DIR] [--json] COMMAND ARGS...\n\n"
           "  --dir DIR   the data directory (ZELO.INI, ZELO_DIR.DAT, item files);\n"
           "              default: the current directory\n"
           "  --json      print one JSON document instead of tab-separated lines\n\n"
           "DEVICE, GROUP and TARGET are a decimal id or an exact name; group:ID and\n"
           "device:ID say which kind an id means.\n\ncommands:\n";
    for (const auto& c : commands()) out << "  " << c.synopsis << "\n";
    out << "\n'zeloctl COMMAND --help' describes one command.\n"
           "exit status: 0 success, 1 a device or a write failed, 2 usage error.\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (!zelo::cli::startPlatform()) {
        std::cerr << "zeloctl: cannot start the network sockets\n";
        return zelo::cli::kExitFailed;
    }
    const std::vector<std::string> argument = zelo::cli::utf8Arguments(argc, argv);
    std::string dir = ".";
    bool json = false;
    std::size_t i = 0;
    for (; i < argument.size(); ++i) {
        const std::string& a = argument[i];
        if (a == "--dir" && i + 1 < argument.size()) {
            dir = argument[++i];
        } else if (a == "--json") {
            json = true;
        } else if (a == "--help" || a == "-h") {
            printHelp(std::cout);
            return kExitOk;
        } else {
            break;
        }
    }
    if (i >= argument.size()) {
        printHelp(std::cerr);
        return kExitUsage;
    }
    const std::string name = argument[i++];
    std::vector<std::string> args(argument.begin() + static_cast<std::ptrdiff_t>(i),
                                  argument.end());
    const zelo::cli::Command* command = nullptr;
    for (const auto& c : commands())
        if (name == c.name) command = &c;
    if (!command) {
        std::cerr << "zeloctl: unknown command '" << name << "' (see zeloctl --help)\n";
        return kExitUsage;
    }
    for (const std::string& a : args) {
        if (a == "--help") {
            std::cout << "usage: zeloctl " << command->synopsis << "\n\n" << command->help << "\n";
            return kExitOk;
        }
    }
    if (dir.empty()) dir = ".";
    if (dir.back() != '/' && dir.back() != '\\') dir += '/';

    zelo::cli::Session session(std::cout, std::cerr, dir, json);
    // Commands that only read leave every file as it is.
    if (!session.workspace.load(command->writes)) {
        std::cerr << "zeloctl: cannot read or create the directory file in " << dir << "\n";
        return zelo::cli::kExitFailed;
    }
    return command->run(session, args);
}
