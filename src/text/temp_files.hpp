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
    // Makes up the last six characters anew, for a name that a link gives.
    void MakeUp();
    [[nodiscard]] const char* Path() const { return path_; }
    // The file is no longer the program's to remove (renamed, or removed).
    void Forget();

private:
    char* path_;
    int slot_;
};

// SIGINT, SIGTERM and SIGHUP ask the program to stop (StopSignal() tells
// which): the batch drops the files in hand and ends with its report. A
// second such signal, or a program that has not ended five seconds after the
// first, removes every registered temporary file and ends at once with 128 +
// the first signal's number (130, 143, 129). SIGPIPE is ignored: a closed
// output is a failed write, which stops the batch the same way.
void RemoveTempFilesOnSignals();

// Why the program was asked to stop: the signal's number, kStopClosedOutput,
// or 0 while it goes on. Safe to ask from any thread and from a handler.
inline constexpr int kStopClosedOutput = -1;
[[nodiscard]] int StopReason();
void RequestStop(int reason);
// For tests: goes on again.
void ClearStop();

}  // namespace torvane
