#pragma once
// Small helpers shared by the engine's tests.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "text/sjis.hpp"

namespace torvane::test {

// A Japanese text of a test, written in UTF-8, as the code page 932 bytes that
// files hold.
inline std::string J(std::string_view utf8) { return Utf8ToCp932(utf8); }

// Lines joined with CR LF, each ended by CR LF: a file as the writers write it.
inline std::string CrLf(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines) out.append(line).append("\r\n");
    return out;
}

inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The file's content split at CR LF (the last, empty piece after a final CR LF dropped).
inline std::vector<std::string> SplitCrLf(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (auto at = bytes.find("\r\n"); at != std::string_view::npos; at = bytes.find("\r\n", from)) {
        lines.emplace_back(bytes.substr(from, at - from));
        from = at + 2;
    }
    if (from < bytes.size()) lines.emplace_back(bytes.substr(from));
    return lines;
}

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("torvane-test-" + std::to_string(random()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

    // Names of the entries in the folder, sorted.
    [[nodiscard]] std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

}  // namespace torvane::test
