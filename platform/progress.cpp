#include "platform/progress.h"

#include "platform/busycursor.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDialog>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <vector>

namespace kolva {

// ---------------------------------------------------------------- the job's reporter

// Shared between the worker, which writes, and the window thread, which reads
// it on a timer: no signal per unit of work.
class BackgroundJob::Reporter : public Progress {
public:
    void beginStage(const QString& label, qint64 total) override
    {
        std::lock_guard lock(mutex_);
        label_ = label;
        total_ = total;
        done_ = 0;
    }
    void advance(qint64 done) override
    {
        std::lock_guard lock(mutex_);
        done_ = done;
    }
    void setCancellable(bool cancellable) override
    {
        std::lock_guard lock(cancelMutex_);
        cancellable_ = cancellable;
    }
    // A termination signal stops the job as Cancel would (the program then
    // ends as soon as its jobs have).
    bool cancelRequested() const override { return cancel_ || terminationSignal() != 0; }

    // The owner stops the job (its window closes): heard whenever it comes.
    void requestCancel() { cancel_ = true; }
    // The user's Cancel counts only while the job offers it: a click that
    // comes after the job has said stopping is no longer safe (the button
    // not yet disabled) is not kept for a later step of the job.
    void requestCancelIfOffered()
    {
        std::lock_guard lock(cancelMutex_);
        if (cancellable_)
            cancel_ = true;
    }
    bool cancellable() const { return cancellable_; }
    void read(QString& label, qint64& total, qint64& done) const
    {
        std::lock_guard lock(mutex_);
        label = label_;
        total = total_;
        done = done_;
    }

private:
    mutable std::mutex mutex_;
    QString label_;
    qint64 total_ = 0;
    qint64 done_ = 0;
    std::mutex cancelMutex_;
    std::atomic<bool> cancellable_{false};
    std::atomic<bool> cancel_{false};
};

// ---------------------------------------------------------------- the dialog

class BackgroundJob::Dialog : public QDialog {
public:
    Dialog(QWidget* parent, const QString& title, std::function<void()> onCancel)
        : QDialog(parent), onCancel_(std::move(onCancel))
    {
        setObjectName(QStringLiteral("dlgProgress"));
        setWindowTitle(title);
        setWindowModality(Qt::WindowModal);
        setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint & ~Qt::WindowContextHelpButtonHint);
        label_ = new QLabel(this);
        label_->setObjectName(QStringLiteral("lblProgress"));
        label_->setMinimumWidth(360);
        bar_ = new QProgressBar(this);
        bar_->setObjectName(QStringLiteral("barProgress"));
        bar_->setAccessibleName(title);
        cancel_ = new QPushButton(tr("Cancel"), this);
        cancel_->setObjectName(QStringLiteral("cmdCancel"));
        cancel_->setEnabled(false);
        connect(cancel_, &QPushButton::clicked, this, [this] { askCancel(); });
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(cancel_);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(label_);
        layout->addWidget(bar_);
        layout->addLayout(buttons);
    }

    void showState(const QString& label, qint64 total, qint64 done, bool cancellable, bool cancelAsked)
    {
        label_->setText(label);
        if (total > 0) {
            // A progress bar holds an int; scale large counts.
            const int scale = total > 1000000 ? int(total / 1000000 + 1) : 1;
            bar_->setRange(0, int(total / scale));
            bar_->setValue(int(qMin(done, total) / scale));
            bar_->setFormat(QStringLiteral("%1 of %2").arg(done).arg(total));
        } else {
            bar_->setRange(0, 0); // busy indicator
        }
        cancel_->setEnabled(cancellable && !cancelAsked);
        cancel_->setText(cancelAsked ? tr("Stopping...") : tr("Cancel"));
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape) {
            if (cancel_->isEnabled())
                askCancel();
            event->accept();
            return;
        }
        QDialog::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        // The dialog goes when the job ends; closing it asks the job to stop.
        if (cancel_->isEnabled())
            askCancel();
        event->ignore();
    }
    void reject() override
    {
        if (cancel_->isEnabled())
            askCancel();
    }

private:
    void askCancel()
    {
        cancel_->setEnabled(false);
        cancel_->setText(tr("Stopping..."));
        onCancel_();
    }

    std::function<void()> onCancel_;
    QLabel* label_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};

// ---------------------------------------------------------------- BackgroundJob

namespace {

// The jobs whose finished has not run yet, and who waits for none to run.
// Touched on the window thread only.
struct JobRegistry {
    struct Waiter {
        QPointer<QObject> context;
        bool hadContext = false;
        std::function<void()> whenStopped;
    };
    QList<BackgroundJob*> jobs;
    std::vector<Waiter> waiters;
};

JobRegistry& registry()
{
    static JobRegistry jobs;
    return jobs;
}

void callWaiters(std::vector<JobRegistry::Waiter> waiters)
{
    for (JobRegistry::Waiter& waiter : waiters) {
        if (!waiter.hadContext || waiter.context)
            waiter.whenStopped();
    }
}

} // namespace

BackgroundJob::BackgroundJob(QWidget* parent, const QString& title, Finished finished, int showAfterMs)
    : parent_(parent), title_(title), finished_(std::move(finished)), showAfterMs_(showAfterMs)
{
    for (QWidget* window = parent ? parent->window() : nullptr; window;
         window = window->parentWidget() ? window->parentWidget()->window() : nullptr) {
        windows_.append(window);
        window->installEventFilter(this);
    }
}

BackgroundJob::~BackgroundJob()
{
    // Normally the job has ended before it goes; never leave its thread
    // running without an owner.
    if (thread_) {
        if (reporter_)
            reporter_->requestCancel();
        thread_->wait();
        delete thread_;
    }
    delete reporter_;
    delete busy_;
    delete clock_;
    registry().jobs.removeAll(this);
}

BackgroundJob* BackgroundJob::start(QWidget* parent, const QString& title, Work work, Finished finished,
                                    int showAfterMs)
{
    auto* job = new BackgroundJob(parent, title, std::move(finished), showAfterMs);
    registry().jobs.append(job);
    job->runOn(std::move(work));
    // The program is waiting for its jobs to stop: this one stops too.
    if (!registry().waiters.empty())
        job->requestCancel();
    return job;
}

void BackgroundJob::runOn(Work work)
{
    reporter_ = new Reporter;
    busy_ = new BusyCursor;
    clock_ = new QElapsedTimer;
    clock_->start();
    timer_ = new QTimer(this);
    timer_->setInterval(100);
    connect(timer_, &QTimer::timeout, this, &BackgroundJob::refresh);
    timer_->start();

    auto error = std::make_shared<std::exception_ptr>();
    Reporter* reporter = reporter_;
    thread_ = QThread::create([work = std::move(work), reporter, error] {
        try {
            work(*reporter);
        } catch (...) {
            *error = std::current_exception(); // handed to finished on the window thread
        }
    });
    connect(thread_, &QThread::finished, this, [this, error] { complete(*error); });
    thread_->start();
}

void BackgroundJob::requestCancel()
{
    if (reporter_)
        reporter_->requestCancel();
    refresh();
}

QWidget* BackgroundJob::dialog() const
{
    return dialog_;
}

bool BackgroundJob::eventFilter(QObject* watched, QEvent* event)
{
    // The window stays while its job runs: closing it asks the job to stop,
    // and the window closes once the job has ended.
    if (event->type() == QEvent::Close && running_ && windows_.contains(watched)) {
        auto* window = static_cast<QWidget*>(watched);
        if (!closeWanted_.contains(window))
            closeWanted_.append(window);
        requestCancel();
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void BackgroundJob::unwatchWindows()
{
    for (const QPointer<QWidget>& window : std::as_const(windows_)) {
        if (window)
            window->removeEventFilter(this);
    }
}

void BackgroundJob::refresh()
{
    if (!running_ || !reporter_)
        return;
    if (!dialogMade_ && clock_->elapsed() >= showAfterMs_) {
        dialogMade_ = true;
        dialog_ = new Dialog(parent_, title_, [this] {
            if (reporter_)
                reporter_->requestCancelIfOffered();
            refresh();
        });
        dialog_->show();
    }
    if (dialog_) {
        QString label;
        qint64 total = 0;
        qint64 done = 0;
        reporter_->read(label, total, done);
        static_cast<Dialog*>(dialog_.data())->showState(label, total, done, reporter_->cancellable(), reporter_->cancelRequested());
    }
}

void BackgroundJob::complete(std::exception_ptr error)
{
    if (!running_)
        return; // released at the end of the program
    running_ = false;
    thread_->deleteLater();
    thread_ = nullptr;
    timer_->stop();
    if (dialog_) {
        dialog_->hide();
        dialog_->deleteLater();
    }
    delete busy_;
    busy_ = nullptr;
    delete clock_;
    clock_ = nullptr;
    if (finished_)
        finished_(error);
    delete reporter_;
    reporter_ = nullptr;
    emit done();
    unwatchWindows();
    const QList<QPointer<QWidget>> closeAgain = closeWanted_;
    deleteLater();
    registry().jobs.removeAll(this);
    // The windows that were asked to close while the job ran close now,
    // unless finished closed them already.
    for (const QPointer<QWidget>& window : closeAgain) {
        if (window && window->isVisible())
            window->close();
    }
    jobEnded(this);
}

void BackgroundJob::jobEnded(BackgroundJob* job)
{
    JobRegistry& jobs = registry();
    jobs.jobs.removeAll(job);
    if (jobs.jobs.isEmpty() && !jobs.waiters.empty()) {
        std::vector<JobRegistry::Waiter> waiters;
        waiters.swap(jobs.waiters);
        callWaiters(std::move(waiters));
    }
}

QList<BackgroundJob*> BackgroundJob::running()
{
    return registry().jobs;
}

void BackgroundJob::stopAll(QObject* context, std::function<void()> whenStopped)
{
    JobRegistry& jobs = registry();
    JobRegistry::Waiter waiter{context, context != nullptr, std::move(whenStopped)};
    if (jobs.jobs.isEmpty()) {
        callWaiters({std::move(waiter)});
        return;
    }
    jobs.waiters.push_back(std::move(waiter));
    for (BackgroundJob* job : std::as_const(jobs.jobs))
        job->requestCancel();
}

void BackgroundJob::stopAllNow()
{
    JobRegistry& jobs = registry();
    const QList<BackgroundJob*> running = jobs.jobs;
    for (BackgroundJob* job : running) {
        if (job->reporter_)
            job->reporter_->requestCancel();
    }
    for (BackgroundJob* job : running)
        job->release();
    jobs.jobs.clear();
    jobs.waiters.clear();
}

void BackgroundJob::release()
{
    if (!running_)
        return;
    running_ = false;
    if (thread_) {
        thread_->wait();
        disconnect(thread_, nullptr, this, nullptr);
        delete thread_;
        thread_ = nullptr;
    }
    timer_->stop();
    delete dialog_.data();
    delete busy_;
    busy_ = nullptr;
    delete clock_;
    clock_ = nullptr;
    delete reporter_;
    reporter_ = nullptr;
    finished_ = nullptr;
    unwatchWindows();
    deleteLater();
}

} // namespace kolva
