#include "text/temp_files.hpp"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <new>

namespace torvane {
namespace {

// Enough for a group of files being made durable together and the files of
// every worker beside it; a name that finds no slot is simply not removed by
// a signal.
constexpr int kSlots = 8192;

std::atomic<char*> g_slots[kSlots];
// Set by the handler before it reads a slot: from then on no name is freed,
// since the handler may be reading it on another thread.
std::atomic<bool> g_handling{false};

int Register(char* path) {
    for (int i = 0; i < kSlots; ++i) {
        char* expected = nullptr;
        if (g_slots[i].load(std::memory_order_relaxed) == nullptr &&
            g_slots[i].compare_exchange_strong(expected, path)) {
            return i;
        }
    }
    return -1;
}

extern "C" void RemoveTempFilesAndExit(int signal_number) {
    g_handling.store(true);
    for (auto& slot : g_slots) {
        // A name still being filled in by mkstemp names no file yet.
        if (const char* path = slot.load(); path != nullptr) ::unlink(path);
    }
    ::_exit(128 + signal_number);
}

}  // namespace

TempFileName::TempFileName(const std::string& pattern) : path_(new char[pattern.size() + 1]), slot_(-1) {
    std::memcpy(path_, pattern.c_str(), pattern.size() + 1);
    slot_ = Register(path_);
}

TempFileName::~TempFileName() { Forget(); }

int TempFileName::Create() { return ::mkstemp(path_); }

void TempFileName::Forget() {
    if (path_ == nullptr) return;
    if (slot_ >= 0) g_slots[slot_].store(nullptr);
    // A handler that read the name before it was taken out may still be
    // unlinking it; the program ends right after, so the name is kept.
    if (!g_handling.load()) delete[] path_;
    path_ = nullptr;
}

void RemoveTempFilesOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveTempFilesAndExit;
    sigemptyset(&action.sa_mask);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal_number);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal_number, &action, nullptr);
}

}  // namespace torvane
