#include "msd/writer.hpp"

#include <string>

#include "text/fixed_texts.hpp"

namespace torvane {

void WriteMsdBanner(LineSink& out, std::string_view caption) {
    for (const std::string& line : BannerLines("#", ";", caption)) out.WriteLine(line);
}

void WriteZeroLine(LineSink& out, std::size_t count) {
    if (count > 0) out.WriteLine(std::string(count, '0'));
}

}  // namespace torvane
