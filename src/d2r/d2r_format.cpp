#include <string>

#include "d2r/d2r_steps.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {

void WriteD2rBanner(LineSink& out, std::string_view caption) {
    const FixedTexts& texts = Texts();
    out.WriteLine("*");
    std::string line = "* ";
    line.append(texts.made_by_prefix).append(caption).append(texts.made_by_suffix);
    out.WriteLine(line);
    line = "* ";
    line.append(texts.publication).append(kPublicationAddress);
    out.WriteLine(line);
    out.WriteLine("*");
}

std::string_view PadField(char step) {
    switch (step) {
        case '1': return "LD  ";
        case '2': return " D  ";
        case '3': return " D R";
        case '4': return "L   ";
        case '6': return "   R";
        case '7': return "L U ";
        case '8': return "  U ";
        case '9': return "  UR";
        case 'A': return " DU ";
        case 'B': return "L  R";
        default: return "    ";
    }
}

}  // namespace torvane
