#include "batch/plan.hpp"

#include <map>
#include <tuple>
#include <optional>
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

// Names are lexically normal and absolute, so that two are one name exactly
// when their bytes are: they are compared as bytes, which costs far less than
// component by component.
struct NameBytesLess {
    bool operator()(const PlanName& a, const PlanName& b) const {
        return std::tie(a.kind, a.path.native()) < std::tie(b.kind, b.path.native());
    }
};

PlanProblem ProblemOf(WalkProblem problem) {
    switch (problem) {
        case WalkProblem::kUnreadableFolder: return PlanProblem::kUnreadableFolder;
        case WalkProblem::kBrokenLink: return PlanProblem::kBrokenLink;
        case WalkProblem::kNotARegularFile: return PlanProblem::kNotARegularFile;
        case WalkProblem::kNone: break;
    }
    return PlanProblem::kNone;
}

}  // namespace

std::string_view PlanProblemCode(PlanProblem problem) {
    switch (problem) {
        case PlanProblem::kNone: return "";
        case PlanProblem::kNoSourceInFolder: return "no-source-in-folder";
        case PlanProblem::kSameDestination: return "same-destination";
        case PlanProblem::kDestinationExists: return "destination-exists";
        case PlanProblem::kUnreadableFolder: return "unreadable-folder";
        case PlanProblem::kBrokenLink: return "broken-link";
        case PlanProblem::kNotARegularFile: return "not-a-regular-file";
    }
    return "";
}

std::shared_ptr<const ConversionError> PlanProblemFailure(const PlannedFile& file) {
    const auto failure = [&](Failure kind) {
        return std::make_shared<const ConversionError>(kind, file.source, "", "", file.system_error);
    };
    switch (file.problem) {
        case PlanProblem::kUnreadableFolder: return failure(Failure::kUnreadableFolder);
        case PlanProblem::kBrokenLink: return failure(Failure::kBrokenLink);
        case PlanProblem::kNotARegularFile: return failure(Failure::kNotARegularFile);
        case PlanProblem::kNone:
        case PlanProblem::kNoSourceInFolder:
        case PlanProblem::kSameDestination:
        case PlanProblem::kDestinationExists: break;
    }
    return nullptr;
}

OutputNaming NamingOf(Conversion conversion) {
    return {{RowOf(conversion).from},
            [conversion](const fs::path& source, const fs::path& folder) {
                return DestinationFor(conversion, source, folder);
            },
            nullptr, RowOf(RowOf(conversion).to).naming == DestinationNaming::kExtensionReplaced};
}

BatchPlan PlanBatch(const OutputNaming& naming, const std::vector<fs::path>& arguments, const fs::path& out_dir,
                    bool no_clobber) {
    BatchPlan plan;
    for (const fs::path& argument : arguments) {
        std::error_code ec;
        if (!fs::is_directory(argument, ec)) {
            const FoundSource found = ExamineSource(argument);
            const PlanProblem problem = ProblemOf(found.problem);
            plan.files.push_back({argument, problem == PlanProblem::kNone ? naming.destination(argument, out_dir)
                                                                          : fs::path(),
                                  problem, {}, found.system_error});
            continue;
        }
        const auto sources = WalkSources(naming.reads, argument);
        if (sources.empty()) {
            plan.files.push_back({argument, {}, PlanProblem::kNoSourceInFolder, {}});
            continue;
        }
        for (const FoundSource& source : sources) {
            if (source.problem != WalkProblem::kNone) {
                plan.files.push_back({source.path, {}, ProblemOf(source.problem), {}, source.system_error});
                continue;
            }
            fs::path folder = out_dir;
            if (!out_dir.empty()) folder /= source.path.parent_path().lexically_relative(argument);
            plan.files.push_back({source.path, naming.destination(source.path, folder.lexically_normal()),
                                  PlanProblem::kNone, {}});
        }
    }

    std::error_code ec;
    const fs::path current = fs::current_path(ec);
    std::map<PlanName, std::size_t, NameBytesLess> taken;  // a name to the file that took it
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
        PlannedFile& file = plan.files[i];
        if (file.problem != PlanProblem::kNone || file.destination.empty()) continue;
        const fs::path destination = Identity(file.destination, current);
        const PlanNames names = naming.names ? naming.names(file.source, destination)
                                             : PlanNames{{{0, destination}}, {{0, destination}}};
        std::optional<std::size_t> earlier;
        for (const PlanName& name : names.stopped_by) {
            if (const auto it = taken.find(name); it != taken.end()) {
                earlier = it->second;
                break;
            }
        }
        if (earlier) {
            const PlannedFile& other = plan.files[*earlier];
            if (Identity(other.source, current) == Identity(file.source, current)) continue;
            file.problem = PlanProblem::kSameDestination;
            file.other_source = other.source;
            continue;
        }
        for (const PlanName& name : names.takes) taken.emplace(name, i);
        if (no_clobber && naming.destination_is_the_file && fs::exists(file.destination, ec)) {
            file.problem = PlanProblem::kDestinationExists;
        }
    }
    return plan;
}

BatchPlan PlanBatch(Conversion conversion, const std::vector<fs::path>& arguments, const fs::path& out_dir,
                    bool no_clobber) {
    BatchPlan plan = PlanBatch(NamingOf(conversion), arguments, out_dir, no_clobber);
    plan.conversion = conversion;
    return plan;
}

}  // namespace torvane
