#include "batch/plan.hpp"

#include <map>
#include <system_error>

#include "batch/sources.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

// The same file however it is written: absolute, with "." and ".." and the
// links of the folders above it resolved.
fs::path Identity(const fs::path& file) {
    std::error_code ec;
    fs::path absolute = fs::absolute(file, ec);
    if (ec) absolute = file;
    fs::path canonical = fs::weakly_canonical(absolute, ec);
    return ec ? absolute.lexically_normal() : canonical;
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

    std::map<fs::path, std::size_t> writers;  // destination to the file that writes it
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
        PlannedFile& file = plan.files[i];
        if (file.problem != PlanProblem::kNone) continue;
        const auto [it, first] = writers.emplace(Identity(file.destination), i);
        if (!first) {
            const PlannedFile& earlier = plan.files[it->second];
            if (Identity(earlier.source) == Identity(file.source)) continue;
            file.problem = PlanProblem::kSameDestination;
            file.other_source = earlier.source;
            continue;
        }
        std::error_code ec;
        if (no_clobber && conversion != Conversion::kMSD2ddr && fs::exists(file.destination, ec)) {
            file.problem = PlanProblem::kDestinationExists;
        }
    }
    return plan;
}

}  // namespace torvane
