#pragma once
// A line sink that keeps what is written, for the steps that write lines.

#include <string>
#include <string_view>
#include <vector>

#include "text/line_io.hpp"

namespace torvane::test {

class RecordingSink : public LineSink {
public:
    std::vector<std::string> lines;
    bool committed = false;
    void WriteLine(std::string_view line) override { lines.emplace_back(line); }
    void Commit() override { committed = true; }
};

}  // namespace torvane::test
