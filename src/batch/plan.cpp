#include "batch/plan.hpp"

#include <map>
#include <system_error>

#include "batch/sources.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

// The same file however it is written: absolute, with "." and ".." taken
// out. Links are not followed: a stat per folder of every path would cost a
// library batch more than the collisions it could add to.
fs::path Identity(const fs::path& file, const fs::path& current) {
    return (file.is_absolute() ? file : current / file).lexically_normal();
}

}  // namespace

std::string_view PlanProblemCode(PlanProblem problem) {
    switch (problem) {
        case PlanProblem::kNone: return "";
        case PlanProblem::kNoSourceInFolder: return "no-source-in-folder";
        case PlanProblem::kSameDestination: return "same-destination";
        case PlanProblem::kDestinationExists: return "destination-exists";
    }
    return "";
}

BatchPlan PlanBatch(Conversion conversion, const std::vector<fs::path>& arguments, const fs::path& out_dir,
                    bool no_clobber) {
    BatchPlan plan;
    plan.conversion = conversion;
    for (const fs::path& argument : arguments) {
        std::error_code ec;
        if (!fs::is_directory(argument, ec)) {
            plan.files.push_back({argument, DestinationFor(conversion, argument, out_dir), PlanProblem::kNone, {}});
            continue;
        }
        const auto sources = FindSources(conversion, argument);
        if (sources.empty()) {
            plan.files.push_back({argument, {}, PlanProblem::kNoSourceInFolder, {}});
            continue;
        }
        for (const fs::path& source : sources) {
            fs::path folder = out_dir;
            if (!out_dir.empty()) folder /= source.parent_path().lexically_relative(argument);
            plan.files.push_back(
                {source, DestinationFor(conversion, source, folder.lexically_normal()), PlanProblem::kNone, {}});
        }
    }

    std::error_code ec;
    const fs::path current = fs::current_path(ec);
    std::map<fs::path, std::size_t> writers;  // destination to the file that writes it
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
        PlannedFile& file = plan.files[i];
        if (file.problem != PlanProblem::kNone) continue;
        const auto [it, first] = writers.emplace(Identity(file.destination, current), i);
        if (!first) {
            const PlannedFile& earlier = plan.files[it->second];
            if (Identity(earlier.source, current) == Identity(file.source, current)) continue;
            file.problem = PlanProblem::kSameDestination;
            file.other_source = earlier.source;
            continue;
        }
        if (no_clobber && conversion != Conversion::kMSD2ddr && fs::exists(file.destination, ec)) {
            file.problem = PlanProblem::kDestinationExists;
        }
    }
    return plan;
}

}  // namespace torvane
