#include "platform/jobprogress.h"

#include <QDateTime>

#include <atomic>

namespace kolva {

// ---------------------------------------------------------------- termination

namespace {
std::atomic<int> terminationRequest{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");
} // namespace

void noteTermination(int signal)
{
    terminationRequest.store(signal);
}

int terminationSignal()
{
    return terminationRequest.load();
}

// ---------------------------------------------------------------- StreamProgress

namespace {
std::atomic<bool> silentStreams{false};
} // namespace

StreamProgress::StreamProgress(std::FILE* stream) : stream_(stream) {}

void StreamProgress::setSilent(bool silent)
{
    silentStreams.store(silent);
}

void StreamProgress::beginStage(const QString& label, qint64 total)
{
    std::lock_guard lock(mutex_);
    label_ = label;
    total_ = total;
    lastLineMs_ = QDateTime::currentMSecsSinceEpoch();
    if (silentStreams.load())
        return;
    std::fprintf(stream_, "%s...\n", qPrintable(label));
    std::fflush(stream_);
}

void StreamProgress::advance(qint64 done)
{
    std::lock_guard lock(mutex_);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastLineMs_ < 1000 || silentStreams.load())
        return;
    lastLineMs_ = now;
    if (total_ > 0)
        std::fprintf(stream_, "%s: %lld of %lld\n", qPrintable(label_), static_cast<long long>(done),
                     static_cast<long long>(total_));
    else
        std::fprintf(stream_, "%s: %lld\n", qPrintable(label_), static_cast<long long>(done));
    std::fflush(stream_);
}

} // namespace kolva
