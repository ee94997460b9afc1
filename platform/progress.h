#pragma once
// A long job on a thread of its own with a progress dialog over the window
// that started it. The interface a job reports through (Progress) and its
// window-free forms are in platform/jobprogress.h.

#include "platform/jobprogress.h"

#include <QDialog>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <exception>
#include <functional>

class QWidget;
class QThread;
class QEvent;
class QTimer;
class QElapsedTimer;

namespace kolva {

class BusyCursor;

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
//
// Every job started here is known to this class until its finished has run:
// it is the one owner of the program's background work.
// - Closing the window a job shows over (its top-level window, or a window
//   that window belongs to) asks the job to stop and keeps the window open
//   until the job has ended and its finished has run; then the window is
//   closed as asked.
// - stopAll() asks every job to stop and calls back once none runs: the Main
//   window's Exit waits so. A job started meanwhile is asked to stop at once.
// - stopAllNow() is for the end of the program: it asks every job to stop and
//   waits for its thread; their finished functions no longer run.
// A job stops only where its work says that stopping is safe: asking it to
// stop in a step that must not be broken off (a commit) waits for that step.
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

    // The jobs whose finished has not run yet, oldest first.
    static QList<BackgroundJob*> running();
    // Asks every running job to stop, and the jobs started until none runs;
    // whenStopped runs on the window thread once no job runs (at once when
    // none does), unless context has gone by then.
    static void stopAll(QObject* context, std::function<void()> whenStopped);
    // The end of the program: asks every job to stop and waits until its
    // work has returned. Their finished functions are not run: the windows
    // they would speak to are going.
    static void stopAllNow();

signals:
    // After finished has run. The job deletes itself later.
    void done();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    BackgroundJob(QWidget* parent, const QString& title, Finished finished, int showAfterMs);
    ~BackgroundJob() override;
    class Reporter;
    class Dialog;
    void runOn(Work work);
    void refresh();
    void complete(std::exception_ptr error);
    void release();
    void unwatchWindows();
    static void jobEnded(BackgroundJob* job);

    QPointer<QWidget> parent_;
    // The windows whose closing waits for the job: the one it shows over and
    // the windows that one belongs to (closing them would take it along).
    QList<QPointer<QWidget>> windows_;
    QList<QPointer<QWidget>> closeWanted_; // asked to close while the job ran
    QString title_;
    Finished finished_;
    int showAfterMs_;
    bool running_ = true;
    Reporter* reporter_ = nullptr;
    QThread* thread_ = nullptr;
    QPointer<QDialog> dialog_; // goes with the window it shows over
    bool dialogMade_ = false;
    QTimer* timer_ = nullptr;
    QElapsedTimer* clock_ = nullptr;
    BusyCursor* busy_ = nullptr;
};

} // namespace kolva
