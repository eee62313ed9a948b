#include "cli/json_report.hpp"

#include <ostream>

#include "text/line_io.hpp"

namespace torvane {

bool WriteJsonReport(const nlohmann::json& report, const std::string& file, std::ostream& out, std::ostream& err) {
    const std::string text = report.dump(2);
    if (file == "-") {
        out << text << '\n';
        out.flush();
        if (!out) err << "torvane-cli: standard output: cannot write the report\n";
        return static_cast<bool>(out);
    }
    try {
        auto sink = DiskStorage().CreateDestination(file, {});
        std::string_view rest = text;
        for (std::size_t end = rest.find('\n'); end != std::string_view::npos; end = rest.find('\n')) {
            sink->WriteLine(rest.substr(0, end));
            rest.remove_prefix(end + 1);
        }
        sink->WriteLine(rest);
        sink->Commit();
        return true;
    } catch (const std::exception& error) {
        err << "torvane-cli: " << file << ": " << FailureReason(error.what(), file) << '\n';
        return false;
    }
}

std::string_view FailureReason(std::string_view reason, const std::filesystem::path& source) {
    for (const auto& name : {source.string(), source.filename().string()}) {
        if (!name.empty() && reason.starts_with(name) && reason.substr(name.size()).starts_with(": ")) {
            return reason.substr(name.size() + 2);
        }
    }
    return reason;
}

}  // namespace torvane
