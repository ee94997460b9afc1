#pragma once
// How a long job (an import, a backup move, a report build, a PDF, an export,
// a conversion) tells how far it has come, and learns that the user wants it
// to stop. The same work function serves the windows (a progress dialog), the
// command line (lines on standard error) and the tests (a recorder).
//
// A job may call a Progress from any thread. It never shows a prompt itself:
// questions are asked on the window thread before or after a job.

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>

class QWidget;
class QTimer;
class QElapsedTimer;

namespace kolva {

class BusyCursor;

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

// A job running on a thread of its own while a progress dialog over the
// window shows the step and the count, repaints, and offers Cancel while the
// job says stopping is safe. The dialog appears only when the job takes
// longer than showAfterMs; the busy pointer shows from the start.
//
// The work function runs on the worker thread: it must not touch a widget or
// the window thread's Database (open a connection of its own to the same
// file). finished runs afterwards on the window thread with the exception the
// work ended with, if any. No nested event loop is started; the window that
// started the job keeps the control that started it disabled until finished.
class BackgroundJob : public QObject {
    Q_OBJECT
public:
    using Work = std::function<void(Progress&)>;
    using Finished = std::function<void(std::exception_ptr)>;

    static BackgroundJob* start(QWidget* parent, const QString& title, Work work, Finished finished,
                                int showAfterMs = 400);

    // Asks the job to stop (when the window it belongs to closes); it stops
    // where safe. The dialog's Cancel asks only while the job offers it.
    void requestCancel();
    bool isRunning() const { return running_; }
    // The dialog, once shown (for tests).
    QWidget* dialog() const;

signals:
    // After finished has run. The job deletes itself later.
    void done();

private:
    BackgroundJob(QWidget* parent, const QString& title, Finished finished, int showAfterMs);
    class Reporter;
    class Dialog;
    void runOn(Work work);
    void refresh();
    void complete(std::exception_ptr error);

    QPointer<QWidget> parent_;
    QString title_;
    Finished finished_;
    int showAfterMs_;
    bool running_ = true;
    Reporter* reporter_ = nullptr;
    QPointer<QDialog> dialog_; // goes with the window it shows over
    bool dialogMade_ = false;
    QTimer* timer_ = nullptr;
    QElapsedTimer* clock_ = nullptr;
    BusyCursor* busy_ = nullptr;
};

} // namespace kolva
