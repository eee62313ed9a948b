#pragma once
// Runs a built program through the shell, as a user would, and keeps what it
// printed.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "test_support.hpp"

namespace torvane::test {

struct ProgramOutcome {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuoted(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

// Runs `program` with `args` in `folder`; `out_to` replaces the capture of
// standard output (for example "/dev/full").
inline ProgramOutcome RunProgramIn(const std::filesystem::path& folder, const std::string& program,
                                   const std::vector<std::string>& args, const std::string& out_to = {}) {
    const TempDir capture;
    std::string command = "cd " + ShellQuoted(folder.string()) + " && " + ShellQuoted(program);
    for (const auto& arg : args) command += " " + ShellQuoted(arg);
    command += " >" + ShellQuoted(out_to.empty() ? (capture / "out").string() : out_to) + " 2>" +
               ShellQuoted((capture / "err").string());
    const int raw = std::system(command.c_str());
    ProgramOutcome outcome;
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (out_to.empty()) outcome.out = ReadFile(capture / "out");
    outcome.err = ReadFile(capture / "err");
    return outcome;
}

}  // namespace torvane::test
