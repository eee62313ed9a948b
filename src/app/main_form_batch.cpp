// A planned batch run through the shared runner, off the window's thread.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "app/dialogs.hpp"
#include "app/main_form.hpp"
#include "batch/runner.hpp"

namespace torvane {

namespace fs = std::filesystem;

void TMainForm::ConvertPlan(const BatchPlan& plan, const DdrOptions& options, WindowBatchOutcome& outcome) {
    batch_running_ = true;
    cancel_requested_ = false;
    const std::size_t count = plan.files.size();
    BatchWatch watch;
    watch_ = &watch;
    const std::uint64_t total_bytes = PlanSourceBytes(plan);

    // The progress dialog shows once the batch has taken a while, at the
    // start of a file or while a long file is in hand.
    std::unique_ptr<ProgressDialog> progress;
    fs::path in_hand;
    std::size_t done = 0;
    std::size_t shown = 0;
    const auto show_progress = [&] {
        if (in_hand.empty() || (progress && shown == done)) return;
        if (!progress) progress = dialogs_.OpenProgress(this, QCoreApplication::applicationName());
        shown = done;
        progress->ShowFile(in_hand, done, count);
        progress->ShowBytes(watch.bytes_read.load(), total_bytes);
    };
    QElapsedTimer clock;
    clock.start();
    QTimer late;
    late.setSingleShot(true);
    connect(&late, &QTimer::timeout, this, [&] { show_progress(); });
    // Without a delay the first file opens the dialog itself.
    if (progress_delay_.count() > 0) late.start(progress_delay_);
    // Inside a long file: the bar follows the bytes read, and a cancel
    // reaches the files in hand.
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] {
        if (cancel_requested_ || (progress && progress->CancelRequested())) watch.stop = true;
        if (progress) progress->ShowBytes(watch.bytes_read.load(), total_bytes);
    });
    tick.start(100);

    // The runner calls back on the thread that runs it; the window's side of
    // each call (the progress, the cancel) runs here while that thread waits.
    BatchCallbacks callbacks;
    callbacks.watch = &watch;
    callbacks.cancel_requested = [&] {
        bool cancel = false;
        QMetaObject::invokeMethod(
            this, [&] { return cancel_requested_ || (progress && progress->CancelRequested()); },
            Qt::BlockingQueuedConnection, &cancel);
        if (cancel) watch.stop = true;
        return cancel;
    };
    callbacks.progress = [&](const BatchProgress& step) {
        // The last call, with no file in hand, closes nothing: the dialog
        // goes when the batch has put its files in place.
        if (step.in_hand.empty()) return;
        QMetaObject::invokeMethod(
            this,
            [&] {
                in_hand = step.in_hand;
                done = step.done;
                if (progress || clock.elapsed() >= progress_delay_.count()) show_progress();
                // A cancel pressed as the file showed stops it before it is read.
                if (cancel_requested_ || (progress && progress->CancelRequested())) watch.stop = true;
            },
            Qt::BlockingQueuedConnection);
    };
    // Only the batch's thread touches the outcome and the error lines until it ends.
    callbacks.file_done = [&](const FileResult& result) { TakeFileResult(plan, result, ErrorList_, outcome); };

    BatchSettings settings;
    settings.ddr_options = options;
    settings.jobs = Jobs();
    if (converter_) {
        settings.convert = [&](const PlannedFile& file, ErrorList& errors, Storage&, SourceEncoding&) {
            converter_(plan.conversion, file.source, file.destination, options, errors);
            return std::vector<fs::path>{};
        };
    }

    BatchSummary summary;
    std::exception_ptr fault;
    bool finished = false;
    const std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            summary = torvane::RunBatch(plan, settings, callbacks);
        } catch (...) {
            fault = std::current_exception();
        }
    }));
    connect(worker.get(), &QThread::finished, this, [&finished] { finished = true; });
    worker->start();
    // Not a nested event loop: one that the application's quitting ended
    // would return at once, and the batch would go on unseen.
    while (!finished) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    worker->wait();

    tick.stop();
    late.stop();
    progress.reset();
    watch_ = nullptr;
    batch_running_ = false;
    if (fault) std::rethrow_exception(fault);
    outcome.not_started = summary.not_started;
    outcome.converted = summary.converted;
}

}  // namespace torvane
