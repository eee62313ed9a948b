#include <iostream>

#include "cli/cli.hpp"

int main(int argc, char** argv) { return torvane::RunCli(argc, argv, std::cout, std::cerr); }
