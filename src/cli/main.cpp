#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>

#include "cli/cli.hpp"
#include "text/temp_files.hpp"

int main(int argc, char** argv) {
    torvane::RemoveTempFilesOnSignals();
    torvane::CliTerminal terminal;
    terminal.err_is_terminal = ::isatty(STDERR_FILENO) == 1;
    struct winsize size {};
    if (terminal.err_is_terminal && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        terminal.err_columns = size.ws_col;
    }
    return torvane::RunCli(argc, argv, std::cout, std::cerr, terminal);
}
