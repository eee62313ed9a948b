#include "text/temp_files.hpp"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <random>
#include <thread>
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

std::atomic<int> g_stop{0};

extern "C" void RemoveTempFilesAndExit(int signal_number) {
    g_handling.store(true);
    for (auto& slot : g_slots) {
        // A name still being filled in by mkstemp names no file yet.
        if (const char* path = slot.load(); path != nullptr) ::unlink(path);
    }
    const int first = g_stop.load();
    ::_exit(128 + (first > 0 ? first : signal_number));
}

extern "C" void StopOnSignal(int signal_number) {
    int expected = 0;
    if (!g_stop.compare_exchange_strong(expected, signal_number) && expected > 0) {
        RemoveTempFilesAndExit(signal_number);
    }
    // A stop that does not come in time is made at once.
    ::alarm(5);
}

extern "C" void StopTimedOut(int) { RemoveTempFilesAndExit(0); }

}  // namespace

TempFileName::TempFileName(const std::string& pattern) : path_(new char[pattern.size() + 1]), slot_(-1) {
    std::memcpy(path_, pattern.c_str(), pattern.size() + 1);
    slot_ = Register(path_);
}

TempFileName::~TempFileName() { Forget(); }

int TempFileName::Create() { return ::mkstemp(path_); }

void TempFileName::MakeUp() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::minstd_rand random(static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ (std::hash<std::thread::id>{}(std::this_thread::get_id()))));
    const std::size_t size = std::strlen(path_);
    for (std::size_t i = size - std::min<std::size_t>(size, 6); i < size; ++i) {
        path_[i] = kLetters[random() % (sizeof kLetters - 1)];
    }
}

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
    action.sa_handler = StopOnSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGALRM}) sigaddset(&action.sa_mask, signal_number);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal_number, &action, nullptr);
    action.sa_handler = StopTimedOut;
    ::sigaction(SIGALRM, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

int StopReason() { return g_stop.load(std::memory_order_relaxed); }

void RequestStop(int reason) {
    int expected = 0;
    g_stop.compare_exchange_strong(expected, reason);
}

void ClearStop() { g_stop.store(0); }

}  // namespace torvane
