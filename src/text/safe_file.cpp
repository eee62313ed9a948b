#include "text/safe_file.hpp"

#include <sys/stat.h>

#include <cstdio>
#include <system_error>

namespace torvane {

void ThrowIoError(const std::filesystem::path& file, Failure kind, int error) {
    throw ConversionError(kind, file, {}, {}, error);
}

// The mode a new file gets: 0666 less the umask. The umask is read from
// /proc, since setting it to read it back would, for a moment, give every
// file and folder that another thread creates the wrong mode.
mode_t CreationMode() {
    static const mode_t mode = [] {
        mode_t mask = 022;
        bool found = false;
        if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            unsigned value = 0;
            while (std::fgets(line, sizeof line, status) != nullptr) {
                if (std::sscanf(line, "Umask: %o", &value) == 1) {
                    mask = static_cast<mode_t>(value);
                    found = true;
                    break;
                }
            }
            std::fclose(status);
        }
        if (!found) {
            mask = ::umask(0);
            ::umask(mask);
        }
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    if (a.empty() || b.empty()) return false;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

}  // namespace torvane
