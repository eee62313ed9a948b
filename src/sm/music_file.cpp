#include "sm/music_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include "sm/simfile_text.hpp"
#include "text/note_codes.hpp"
#include "text/safe_file.hpp"
#include "text/sjis.hpp"
#include "text/temp_files.hpp"

namespace torvane {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// ASCII letters in lower case, stepping over double-byte characters, whose
// second byte may be a letter.
std::string FoldCp932(std::string_view name) {
    std::string out(name);
    for (std::size_t i = 0; i < out.size();) {
        const std::size_t length = SjisCharacterLength(out, i);
        if (length == 1) out[i] = Lower(out[i]);
        i += length;
    }
    return out;
}

// No byte of a UTF-8 sequence of several bytes is ASCII.
std::string FoldUtf8(std::string_view name) {
    std::string out(name);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

void CopyInto(const std::filesystem::path& music, TempFile& copy) {
    const int fd = ::open(music.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) ThrowIoError(music, Failure::kOpenForReading, errno);
    std::vector<char> buffer(kBufferSize);
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            ThrowIoError(music, Failure::kRead, error);
        }
        copy.Write(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
    ::close(fd);
}

// A hard link under a fresh temporary name, renamed over `destination`.
bool HardLink(const std::filesystem::path& music, const std::filesystem::path& destination) {
    std::string hidden = ".";
    hidden.append(destination.filename().string()).append(".XXXXXX");
    TempFileName name((FolderOf(destination) / hidden).string());
    const int fd = name.Create();
    if (fd < 0) return false;
    ::close(fd);
    // The name was made only to be free; the link takes it over.
    ::unlink(name.Path());
    if (::link(music.c_str(), name.Path()) != 0) {
        name.Forget();
        return false;
    }
    if (std::rename(name.Path(), destination.c_str()) != 0) {
        const int error = errno;
        ::unlink(name.Path());
        name.Forget();
        ThrowIoError(destination, Failure::kReplace, error);
    }
    name.Forget();
    return true;
}

}  // namespace

std::optional<std::filesystem::path> FindMusicFile(const std::filesystem::path& folder, std::string_view file_value) {
    const std::string_view wanted = MusicNameOf(file_value);
    if (wanted.empty()) return std::nullopt;
    const std::string wanted_utf8 = Cp932ToUtf8(wanted);
    // The name as written is the usual case, and found without reading the
    // folder, which for a pack of many songs in one folder would be read once
    // for each.
    std::error_code error;
    for (const std::string_view name : {wanted, std::string_view(wanted_utf8)}) {
        const std::filesystem::path exact = (folder.empty() ? std::filesystem::path(".") : folder) / std::string(name);
        if (std::filesystem::is_regular_file(exact, error)) return exact;
    }
    const std::string folded_cp932 = FoldCp932(wanted);
    const std::string folded_utf8 = FoldUtf8(wanted_utf8);
    std::vector<std::filesystem::path> found;
    for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code kind_error;
        if (!it->is_regular_file(kind_error)) continue;
        const std::string name = it->path().filename().string();
        if (name == wanted || name == wanted_utf8) return it->path();
        if (FoldCp932(name) == folded_cp932 || FoldUtf8(name) == folded_utf8) found.push_back(it->path());
    }
    if (found.empty()) return std::nullopt;
    // Names that differ only in case: the same one each time.
    return *std::min_element(found.begin(), found.end());
}

void LinkMusicFile(const std::filesystem::path& music, const std::filesystem::path& folder, std::string_view name) {
    const std::filesystem::path destination = folder / std::string(name);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (std::filesystem::equivalent(music, destination, error)) return;
    if (HardLink(music, destination)) return;
    TempFile copy(destination);
    CopyInto(music, copy);
    copy.Close(true);
    copy.Replace();
}

bool PlaceMusicFile(const std::filesystem::path& source, std::string_view file_value, std::string_view music_name,
                    const std::filesystem::path& folder, ErrorList& errors) {
    const auto music = music_name.empty() ? std::nullopt : FindMusicFile(FolderOf(source), file_value);
    if (!music) {
        errors.AddNote(note::kMusicMissing, {}, file_value);
        return false;
    }
    LinkMusicFile(*music, folder, music_name);
    return true;
}

}  // namespace torvane
