#pragma once
// Runs a program with arguments and collects its exit code, output and
// error output.

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace zelo::test {

struct RunResult {
    int code = -1;
    std::string out;
    std::string err;
};

inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                            const TempDir& scratch) {
    const std::string outFile = scratch.file("stdout.txt"), errFile = scratch.file("stderr.txt");
    std::string cmd = shellQuote(program);
    for (const std::string& a : args) cmd += " " + shellQuote(a);
    cmd += " >" + shellQuote(outFile) + " 2>" + shellQuote(errFile) + " </dev/null";
    const int status = std::system(cmd.c_str());
    RunResult r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readBytes(outFile);
    r.err = readBytes(errFile);
    return r;
}

}  // namespace zelo::test
