#include "cli/ddr_arguments.hpp"

#include <CLI/CLI.hpp>

#include "cli/arguments.hpp"

namespace torvane {

DdrArguments::DdrArguments(CLI::App& app)
    : lead_in_option_(app.add_option("--lead-in", lead_in_)),
      delete_option_(app.add_option("--delete", delete_count_)),
      measure_option_(app.add_option("--measure", measure_)),
      beat_option_(app.add_option("--beat", beat_)) {}

const CLI::Option* DdrArguments::FirstGiven() const {
    for (const CLI::Option* option : {lead_in_option_, delete_option_, measure_option_, beat_option_}) {
        if (option->count() > 0) return option;
    }
    return nullptr;
}

DdrOptions DdrArguments::Read(DdrOptions options) const {
    if (lead_in_option_->count() > 0) options.mode = LeadInMode(lead_in_);
    if (delete_option_->count() > 0) {
        options.delete_count = WholeNumberOption("--delete", delete_count_, kDdrDeleteCount.lowest, kDdrDeleteCount.highest);
    }
    if (measure_option_->count() > 0) {
        options.measure = WholeNumberOption("--measure", measure_, kDdrMeasure.lowest, kDdrMeasure.highest);
    }
    if (beat_option_->count() > 0) options.half_beat = HalfBeatOption(beat_);
    return options;
}

void AddDdrOptionsReport(const DdrOptions& options, nlohmann::ordered_json& report) {
    report["lead_in"] = LeadInName(options.mode);
    report["delete"] = options.delete_count;
    report["measure"] = options.measure;
    report["beat"] = options.half_beat / 2.0;
}

}  // namespace torvane
