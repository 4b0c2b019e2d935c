// zeloctl: the headless front end over the same core as ZELO.exe.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/platform.h"
#include "common/c_number.h"
#include "common/data_lock.h"
#include "common/text_encoding.h"
#include "settings/app_settings.h"
#include "settings/profile_file.h"
#include "zelo_version.h"

namespace {

using zelo::cli::commands;
using zelo::cli::kExitOk;
using zelo::cli::kExitUsage;

// zeloctl's own texts follow the Language of the data directory's ZELO.INI,
// else the user's locale: Japanese for Language 0, English for any other.
bool japaneseIn(std::string dir) {
    if (dir.empty()) dir = ".";
    if (dir.back() != '/' && dir.back() != '\\') dir += '/';
    const std::string language =
        zelo::readProfileString(dir + zelo::kSettingsFileName, "ZELO", "Language", "");
    return language.empty() ? zelo::cli::japaneseLocale() : zelo::parseCInt(language) == 0;
}

const char* say(bool japanese, const char* english, const char* ja) {
    return japanese ? ja : english;
}

// Takes a global option at argument[i] (advancing i past its value); false
// when argument[i] is none. `error` is set (to the option) for --dir without
// a value.
bool globalOption(const std::vector<std::string>& argument, std::size_t& i, std::string& dir,
                  bool& json, std::string& error) {
    const std::string& a = argument[i];
    if (a == "--json") {
        json = true;
    } else if (a.rfind("--dir=", 0) == 0) {
        dir = a.substr(6);
        if (dir.empty()) error = "--dir=";
    } else if (a == "--dir") {
        if (i + 1 >= argument.size())
            error = "--dir";
        else
            dir = argument[++i];
    } else {
        return false;
    }
    return true;
}

// A command that writes makes a missing data directory (not its parents);
// one that reads finds nothing to read. 0 when the directory is there.
int ensureDirectory(const std::string& shown, const std::string& path, bool writes, bool ja) {
    if (zelo::cli::isDirectory(path)) return kExitOk;
    if (!writes) {
        std::cerr << "zeloctl: "
                  << say(ja, "no data directory at ", "データディレクトリがありません: ") << shown
                  << "\n";
        return kExitUsage;
    }
    const zelo::cli::MadeDirectory made = zelo::cli::makeDirectory(path);
    if (made.made) return kExitOk;
    if (made.parentMissing) {
        std::cerr << "zeloctl: "
                  << say(ja, "no data directory at ", "データディレクトリがありません: ") << shown
                  << say(ja, ", and it cannot be made: its parent directory does not exist",
                         "。親ディレクトリがないため作れません")
                  << "\n";
        return kExitUsage;
    }
    std::cerr << "zeloctl: "
              << say(ja, "cannot make the data directory ", "データディレクトリを作れません: ")
              << shown << ": " << made.reason << "\n";
    return zelo::cli::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    if (!zelo::cli::startPlatform()) {
        std::cerr << "zeloctl: "
                  << say(zelo::cli::japaneseLocale(), "cannot start the network sockets",
                         "ネットワークソケットを開始できません")
                  << "\n";
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
            zelo::cli::printHelp(std::cout, japaneseIn(dir));
            return kExitOk;
        } else if (a == "--version") {
            std::cout << "zeloctl " << ZELO_VERSION_MAJOR << "." << ZELO_VERSION_MINOR << "."
                      << ZELO_VERSION_PATCH << "\n";
            return kExitOk;
        } else if (a.size() > 1 && a[0] == '-') {
            error = a;
            break;
        } else {
            break;
        }
    }
    if (error.empty() && i >= argument.size()) {
        zelo::cli::printHelp(std::cerr, japaneseIn(dir));
        return kExitUsage;
    }
    // The global options are taken after the command name too.
    std::vector<std::string> args;
    const std::string name = error.empty() ? argument[i++] : std::string();
    for (; error.empty() && i < argument.size(); ++i)
        if (!globalOption(argument, i, dir, json, error)) args.push_back(argument[i]);
    const bool ja = japaneseIn(dir);
    if (error == "--dir" || error == "--dir=") {
        std::cerr << "zeloctl: " << error
                  << say(ja, " needs a directory", " にはディレクトリが必要です") << "\n";
        return kExitUsage;
    }
    if (!error.empty()) {
        std::cerr << "zeloctl: " << say(ja, "unknown option '", "不明なオプション '") << error
                  << say(ja, "' (see zeloctl --help)", "' (zeloctl --help を参照)") << "\n";
        return kExitUsage;
    }
    const zelo::cli::Command* command = nullptr;
    for (const auto& c : commands())
        if (name == c.name) command = &c;
    if (!command) {
        std::cerr << "zeloctl: " << say(ja, "unknown command '", "不明なコマンド '") << name
                  << say(ja, "' (see zeloctl --help)", "' (zeloctl --help を参照)") << "\n";
        return kExitUsage;
    }
    for (const std::string& a : args) {
        if (a == "--help") {
            zelo::cli::printCommandHelp(std::cout, *command, ja);
            return kExitOk;
        }
    }
    if (dir.empty()) dir = ".";
    const std::string shown = dir;  // as given, for messages
    if (dir.back() != '/' && dir.back() != '\\') dir += '/';
    const std::string& path = dir;
    if (const int code = ensureDirectory(shown, path, command->writes, ja)) return code;

    // Writers one at a time: each rewrites whole files from what it read.
    zelo::DataLock lock;
    if (command->writes) {
        switch (lock.take(path, std::string("zeloctl ") + command->name)) {
            case zelo::DataLock::Result::Taken:
                break;
            case zelo::DataLock::Result::Held:
                std::cerr << "zeloctl: " << say(ja, "the data directory ", "データディレクトリ ")
                          << shown << say(ja, " is in use by ", " は使用中です: ") << lock.holder()
                          << say(ja,
                                 "; one program at a time changes it (reading commands still work)",
                                 "。変更できるのは一度に 1 つのプログラムだけです "
                                 "(読むだけのコマンドは使えます)")
                          << "\n";
                return zelo::cli::kExitFailed;
            case zelo::DataLock::Result::Failed:
                // The writes will tell whether the directory can be written at all.
                std::cerr << "zeloctl: " << say(ja, "the data directory ", "データディレクトリ ")
                          << shown
                          << say(ja, " cannot be locked against other writers (",
                                 " をほかの書き込みに対してロックできません (")
                          << lock.reason()
                          << say(ja, "); going on without", ")。ロックなしで続けます") << "\n";
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
        std::cerr << "zeloctl: "
                  << say(ja, "cannot read or create the directory file in ",
                         "ディレクトリファイルを読むことも作ることもできません: ")
                  << dir << "\n";
        return zelo::cli::kExitFailed;
    }
    // Lines of the directory file that could not be read were skipped (and
    // stay in the file).
    if (const int damaged = session.directory.outline().damagedLines)
        std::cerr << "zeloctl: "
                  << zelo::cp932ToUtf8(session.strings.text(zelo::Text::DirectoryLinesSkipped))
                  << damaged << "\n";
    // A data directory zeloctl starts keeps the language its root was named in.
    if (newDirectory && command->writes) zelo::cli::keepLanguage(session);
    return command->run(session, args);
}
