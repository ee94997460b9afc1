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

StreamProgress::StreamProgress(std::FILE* stream) : stream_(stream) {}

void StreamProgress::beginStage(const QString& label, qint64 total)
{
    std::lock_guard lock(mutex_);
    label_ = label;
    total_ = total;
    lastLineMs_ = QDateTime::currentMSecsSinceEpoch();
    std::fprintf(stream_, "%s...\n", qPrintable(label));
    std::fflush(stream_);
}

void StreamProgress::advance(qint64 done)
{
    std::lock_guard lock(mutex_);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastLineMs_ < 1000)
        return;
    lastLineMs_ = now;
    if (total_ > 0)
        std::fprintf(stream_, "%s: %lld of %lld\n", qPrintable(label_), static_cast<long long>(done),
                     static_cast<long long>(total_));
    else
        std::fprintf(stream_, "%s: %lld\n", qPrintable(label_), static_cast<long long>(done));
    std::fflush(stream_);
}

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

BackgroundJob::BackgroundJob(QWidget* parent, const QString& title, Finished finished, int showAfterMs)
    : parent_(parent), title_(title), finished_(std::move(finished)), showAfterMs_(showAfterMs)
{
}

BackgroundJob* BackgroundJob::start(QWidget* parent, const QString& title, Work work, Finished finished,
                                    int showAfterMs)
{
    auto* job = new BackgroundJob(parent, title, std::move(finished), showAfterMs);
    job->runOn(std::move(work));
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
    QThread* thread = QThread::create([work = std::move(work), reporter, error] {
        try {
            work(*reporter);
        } catch (...) {
            *error = std::current_exception();
        }
    });
    connect(thread, &QThread::finished, this, [this, thread, error] {
        thread->deleteLater();
        complete(*error);
    });
    thread->start();
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
    running_ = false;
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
    deleteLater();
}

} // namespace kolva
