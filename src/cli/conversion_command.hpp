#pragma once
// torvane-cli CONVERSION: the command line of the four conversions and their
// batch.

#include <iosfwd>

#include "cli/cli.hpp"

namespace torvane {

enum class Request { kBatch, kHelp, kVersion };

// Parses the command line of a conversion and runs it; `convert`, when
// given, stands in for the conversion of each file. The help and the version
// are the caller's to print.
int RunConversionCommand(int argc, char** argv, std::ostream& out, std::ostream& err, const CliTerminal& terminal,
                         const ConvertFile* convert, Request& request);

}  // namespace torvane
