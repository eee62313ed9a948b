#include "cli/arguments.hpp"

#include <charconv>
#include <cmath>
#include <system_error>

#include "ddr/ddr.hpp"

namespace torvane {

namespace fs = std::filesystem;

std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.append("'").append(text).append("'");
    return quoted;
}

std::string WithDashHint(std::string message, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") break;
        std::error_code ec;
        if (argument.size() > 1 && argument.front() == '-' && fs::exists(fs::path(argument), ec)) {
            return message + " (to name a file that begins with \"-\", put -- before the file names)";
        }
    }
    return message;
}

int WholeNumberOption(std::string_view option, const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        throw UsageError(std::string(option) + " must be a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not " + Quoted(text));
    }
    return value;
}

namespace {

// A number of half beats as a beat: 2 gives "1", 9 gives "4.5".
std::string BeatText(int half_beats) {
    return std::to_string(half_beats / 2) + (half_beats % 2 != 0 ? ".5" : "");
}

}  // namespace

// The beat travels as half beats, so only whole and half beats are valid.
int HalfBeatOption(const std::string& text) {
    double beat = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), beat);
    const double half_beats = beat * 2;
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(beat) ||
        half_beats < kDdrHalfBeat.lowest || half_beats > kDdrHalfBeat.highest || half_beats != std::floor(half_beats)) {
        throw UsageError("--beat must be " + BeatText(kDdrHalfBeat.lowest) + " to " + BeatText(kDdrHalfBeat.highest) +
                         " in steps of 0.5, not " + Quoted(text));
    }
    return static_cast<int>(half_beats);
}

DdrOptions::Mode LeadInMode(const std::string& text) {
    if (text == "delete") return DdrOptions::kDeleteLeadIn;
    if (text == "first-step") return DdrOptions::kFirstStepAt;
    if (text == "as-is") return DdrOptions::kAsItIs;
    throw UsageError("--lead-in must be delete, first-step or as-is, not " + Quoted(text));
}

std::string_view LeadInName(DdrOptions::Mode mode) {
    switch (mode) {
        case DdrOptions::kFirstStepAt: return "first-step";
        case DdrOptions::kAsItIs: return "as-is";
        default: return "delete";
    }
}

EncodingChoice EncodingOption(const std::string& text) {
    if (text == "auto") return EncodingChoice::kAuto;
    if (text == "cp932") return EncodingChoice::kCp932;
    if (text == "utf-8") return EncodingChoice::kUtf8;
    throw UsageError("--encoding must be auto, cp932 or utf-8, not " + Quoted(text));
}

std::string_view EncodingName(EncodingChoice choice) {
    switch (choice) {
        case EncodingChoice::kCp932: return "cp932";
        case EncodingChoice::kUtf8: return "utf-8";
        case EncodingChoice::kAuto: break;
    }
    return "auto";
}

std::string ReportOption(const std::string& text) {
    if (text.empty()) throw UsageError("--report needs a file name, or - for standard output");
    return text;
}

fs::path OutDirOption(const std::string& text) {
    std::error_code ec;
    if (text.empty() || !fs::exists(text, ec)) throw UsageError("the --out-dir folder " + Quoted(text) + " does not exist");
    if (!fs::is_directory(text, ec)) throw UsageError("--out-dir " + Quoted(text) + " is not a folder");
    return text;
}

unsigned DefaultJobs() { return DefaultBatchJobs(); }

}  // namespace torvane
