#pragma once
// Temporary files in flight, so that a signal that ends the program can
// remove them before it goes: a destination is never replaced by a partial
// file, and no ".song.d2r.XXXXXX" is left beside it.

#include <string>

namespace torvane {

// A temporary file's name, known to the signal handler for as long as the
// object lives. The name is registered before the file is created: Create()
// makes the file from a mkstemp pattern in place, so that no moment exists
// in which the file is there and the handler does not know it.
class TempFileName {
public:
    // `pattern` ends in "XXXXXX".
    explicit TempFileName(const std::string& pattern);
    ~TempFileName();
    TempFileName(const TempFileName&) = delete;
    TempFileName& operator=(const TempFileName&) = delete;

    // mkstemp on the registered name: the open descriptor, or -1 with errno.
    [[nodiscard]] int Create();
    [[nodiscard]] const char* Path() const { return path_; }
    // The file is no longer the program's to remove (renamed, or removed).
    void Forget();

private:
    char* path_;
    int slot_;
};

// SIGINT, SIGTERM and SIGHUP remove every registered temporary file and end
// the program with 128 + the signal's number (130, 143, 129).
void RemoveTempFilesOnSignals();

}  // namespace torvane
