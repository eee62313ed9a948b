#include "msd/writer.hpp"

#include <string>

#include "text/fixed_texts.hpp"

namespace torvane {

void WriteMsdBanner(LineSink& out, std::string_view caption) {
    const FixedTexts& texts = Texts();
    out.WriteLine("#;");
    std::string line = "# ";
    line.append(texts.made_by_prefix).append(caption).append(texts.made_by_suffix).append(";");
    out.WriteLine(line);
    line = "# ";
    line.append(texts.publication).append(kPublicationAddress).append(";");
    out.WriteLine(line);
    out.WriteLine("#;");
}

void WriteZeroLine(LineSink& out, std::size_t count) {
    if (count > 0) out.WriteLine(std::string(count, '0'));
}

}  // namespace torvane
