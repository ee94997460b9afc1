#pragma once
// How a long job (an import, a backup move, a report build, a PDF, an export,
// a conversion) tells how far it has come, and learns that the user wants it
// to stop. The same work function serves the windows (a progress dialog, see
// platform/progress.h), the command line (lines on standard error) and the
// tests (a recorder). Nothing here needs a window.
//
// A job may call a Progress from any thread. It never shows a prompt itself:
// questions are asked on the window thread before or after a job.

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <mutex>

namespace kolva {

class Progress {
public:
    virtual ~Progress() = default;
    // A new step of the job ("Reading files"), with its number of units
    // (0 when not known in advance). The count starts at 0.
    virtual void beginStage(const QString& label, qint64 total) = 0;
    // The units of the current step done so far.
    virtual void advance(qint64 done) = 0;
    // Whether stopping is safe from now on: Cancel is offered only then.
    virtual void setCancellable(bool cancellable) = 0;
    // True once the user asked the job to stop. A job checks it where
    // stopping is safe and then ends with nothing half-done.
    virtual bool cancelRequested() const = 0;
};

// A request to end the program (SIGTERM, SIGINT on the command line): the
// number of the signal, 0 while none came. noteTermination may be called
// from a signal handler.
void noteTermination(int signal);
int terminationSignal();

// Reports nowhere and is never cancelled.
class NullProgress : public Progress {
public:
    void beginStage(const QString&, qint64) override {}
    void advance(qint64) override {}
    void setCancellable(bool) override {}
    bool cancelRequested() const override { return false; }
};

// The command line's form: a line per step and at most one line a second
// while a step runs, on the stream given (standard error). A termination
// signal cancels the job where it can stop.
class StreamProgress : public Progress {
public:
    explicit StreamProgress(std::FILE* stream);
    // Silences every StreamProgress of the process (a command run with
    // --quiet): the steps are still followed, nothing is printed.
    static void setSilent(bool silent);
    void beginStage(const QString& label, qint64 total) override;
    void advance(qint64 done) override;
    void setCancellable(bool) override {}
    bool cancelRequested() const override { return terminationSignal() != 0; }

private:
    std::FILE* stream_;
    std::mutex mutex_;
    QString label_;
    qint64 total_ = 0;
    qint64 lastLineMs_ = 0;
};

} // namespace kolva
