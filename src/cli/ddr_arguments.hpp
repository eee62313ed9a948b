#pragma once
// The options of msd2ddr on the command line: where the first step of each
// chart lies. The conversions and check read them alike.

#include <string>

#include <nlohmann/json.hpp>

#include "ddr/ddr.hpp"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace torvane {

class DdrArguments {
public:
    // Adds --lead-in, --delete, --measure and --beat to `app`. Their values
    // are kept as text, so that every bad value gets the same kind of message.
    explicit DdrArguments(CLI::App& app);
    DdrArguments(const DdrArguments&) = delete;
    DdrArguments& operator=(const DdrArguments&) = delete;

    // The first of the four options that the command line gives, or null.
    [[nodiscard]] const CLI::Option* FirstGiven() const;

    // `options` with every value that the command line gives in its place.
    // Throws UsageError for a value out of its range or not a number.
    [[nodiscard]] DdrOptions Read(DdrOptions options) const;

private:
    std::string lead_in_, delete_count_, measure_, beat_;
    CLI::Option* lead_in_option_;
    CLI::Option* delete_option_;
    CLI::Option* measure_option_;
    CLI::Option* beat_option_;
};

// Adds the options to a report's "options": "lead_in", "delete", "measure"
// and "beat", in this order.
void AddDdrOptionsReport(const DdrOptions& options, nlohmann::ordered_json& report);

}  // namespace torvane
