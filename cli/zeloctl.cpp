// zeloctl: the headless front end over the same core as ZELO.exe.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/platform.h"
#include "common/data_lock.h"
#include "zelo_version.h"

namespace {

using zelo::cli::commands;
using zelo::cli::kExitOk;
using zelo::cli::kExitUsage;

void printHelp(std::ostream& out) {
    out << "usage: zeloctl [--dir DIR] [--json] COMMAND ARGS...\n\n"
           "  --dir DIR   the data directory (ZELO.INI, ZELO_DIR.DAT, item files);\n"
           "              default: the current directory (also --dir=DIR). A command\n"
           "              that writes makes it when missing (its parent must exist)\n"
           "              and holds its lock (ZELO.LCK) while it runs: one program\n"
           "              at a time changes a data directory\n"
           "  --json      print one JSON document instead of tab-separated lines\n"
           "  --version   print zeloctl's version\n"
           "--dir and --json may also follow the command name.\n\n"
           "DEVICE, GROUP and TARGET are a decimal id or an exact name; group:ID and\n"
           "device:ID say which kind an id means.\n\n"
           "Texts from the program's string table (error messages, list columns, a\n"
           "new root's name) are in the Language of ZELO.INI (0 Japanese, 1 English,\n"
           "2 Esperanto); without one, Japanese when the locale (LC_ALL, LC_MESSAGES,\n"
           "LANG) begins with ja, else English, and a data directory zeloctl creates\n"
           "gets that Language written. zeloctl's own messages are Japanese for\n"
           "Language 0 and English otherwise; usage lines and this help are English.\n\n"
           "commands:\n";
    for (const auto& c : commands()) out << "  " << c.synopsis << "\n";
    out << "\n'zeloctl COMMAND --help' describes one command.\n"
           "exit status: 0 success, 1 a device or a write failed, 2 usage error.\n";
}

// Takes a global option at argument[i] (advancing i past its value); false
// when argument[i] is none. `error` is set for --dir without a value.
bool globalOption(const std::vector<std::string>& argument, std::size_t& i, std::string& dir,
                  bool& json, std::string& error) {
    const std::string& a = argument[i];
    if (a == "--json") {
        json = true;
    } else if (a.rfind("--dir=", 0) == 0) {
        dir = a.substr(6);
        if (dir.empty()) error = "--dir= needs a directory";
    } else if (a == "--dir") {
        if (i + 1 >= argument.size())
            error = "--dir needs a directory";
        else
            dir = argument[++i];
    } else {
        return false;
    }
    return true;
}

// A command that writes makes a missing data directory (not its parents);
// one that reads finds nothing to read. 0 when the directory is there.
int ensureDirectory(const std::string& shown, const std::string& path, bool writes) {
    if (zelo::cli::isDirectory(path)) return kExitOk;
    if (!writes) {
        std::cerr << "zeloctl: no data directory at " << shown << "\n";
        return kExitUsage;
    }
    const zelo::cli::MadeDirectory made = zelo::cli::makeDirectory(path);
    if (made.made) return kExitOk;
    if (made.parentMissing) {
        std::cerr << "zeloctl: no data directory at " << shown
                  << ", and it cannot be made: its parent directory does not exist\n";
        return kExitUsage;
    }
    std::cerr << "zeloctl: cannot make the data directory " << shown << ": " << made.reason << "\n";
    return zelo::cli::kExitFailed;
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
    std::string error;
    std::size_t i = 0;
    for (; i < argument.size(); ++i) {
        const std::string& a = argument[i];
        if (globalOption(argument, i, dir, json, error)) {
            if (!error.empty()) break;
        } else if (a == "--help" || a == "-h") {
            printHelp(std::cout);
            return kExitOk;
        } else if (a == "--version") {
            std::cout << "zeloctl " << ZELO_VERSION_MAJOR << "." << ZELO_VERSION_MINOR << "."
                      << ZELO_VERSION_PATCH << "\n";
            return kExitOk;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option '" + a + "' (see zeloctl --help)";
            break;
        } else {
            break;
        }
    }
    if (error.empty() && i >= argument.size()) {
        printHelp(std::cerr);
        return kExitUsage;
    }
    // The global options are taken after the command name too.
    std::vector<std::string> args;
    const std::string name = error.empty() ? argument[i++] : std::string();
    for (; error.empty() && i < argument.size(); ++i)
        if (!globalOption(argument, i, dir, json, error)) args.push_back(argument[i]);
    if (!error.empty()) {
        std::cerr << "zeloctl: " << error << "\n";
        return kExitUsage;
    }
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
    const std::string shown = dir;  // as given, for messages
    if (dir.back() != '/' && dir.back() != '\\') dir += '/';
    const std::string& path = dir;
    if (const int code = ensureDirectory(shown, path, command->writes)) return code;

    // Writers one at a time: each rewrites whole files from what it read.
    zelo::DataLock lock;
    if (command->writes) {
        switch (lock.take(path, std::string("zeloctl ") + command->name)) {
            case zelo::DataLock::Result::Taken:
                break;
            case zelo::DataLock::Result::Held:
                std::cerr << "zeloctl: the data directory " << shown << " is in use by "
                          << lock.holder()
                          << "; one program at a time changes it (reading commands still work)\n";
                return zelo::cli::kExitFailed;
            case zelo::DataLock::Result::Failed:
                // The writes will tell whether the directory can be written at all.
                std::cerr << "zeloctl: the data directory " << shown
                          << " cannot be locked against other writers (" << lock.reason()
                          << "); going on without\n";
                break;
        }
    }

    zelo::cli::Session session(std::cout, std::cerr, path, json);
    // Without a Language in ZELO.INI the texts follow the user's locale.
    session.settings.defaultLanguage =
        zelo::cli::japaneseLocale() ? zelo::Language::Japanese : zelo::Language::English;
    const bool newDirectory = !zelo::cli::directoryFileExists(session);
    // Commands that only read leave every file as it is.
    if (!session.workspace.load(command->writes)) {
        std::cerr << "zeloctl: cannot read or create the directory file in " << dir << "\n";
        return zelo::cli::kExitFailed;
    }
    // A data directory zeloctl starts keeps the language its root was named in.
    if (newDirectory && command->writes) zelo::cli::keepLanguage(session);
    return command->run(session, args);
}
