#include "platform/busycursor.h"
#include "platform/progress.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

using namespace kolva;

namespace {

// Lets the window thread run until the job has ended.
bool waitDone(BackgroundJob* job, int ms = 10000)
{
    QSignalSpy spy(job, &BackgroundJob::done);
    return spy.wait(ms);
}

TEST(BackgroundJob, ShowsTheStepAndCountAndOffersCancelOnlyWhereSafe)
{
    QWidget window;
    window.show();
    std::atomic<int> phase{0};
    bool finishedOnWindowThread = false;
    bool cancelledSeen = false;
    BackgroundJob* job = BackgroundJob::start(
        &window, "Importing",
        [&](Progress& progress) {
            progress.beginStage("Saving records", 10);
            progress.advance(4);
            phase = 1;
            while (phase == 1)
                QThread::msleep(5);
            progress.beginStage("Reading files", 100);
            progress.setCancellable(true);
            progress.advance(30);
            phase = 3;
            while (!progress.cancelRequested())
                QThread::msleep(5);
            cancelledSeen = true;
        },
        [&](std::exception_ptr error) {
            EXPECT_FALSE(error);
            finishedOnWindowThread = QThread::currentThread() == window.thread();
        },
        0);
    EXPECT_TRUE(busyCursorShown());
    QTRY_VERIFY(phase == 1);
    QTRY_VERIFY(job->dialog() && job->dialog()->isVisible());
    auto* label = job->dialog()->findChild<QLabel*>("lblProgress");
    auto* cancel = job->dialog()->findChild<QPushButton*>("cmdCancel");
    QTRY_COMPARE(label->text(), QString("Saving records"));
    EXPECT_FALSE(cancel->isEnabled()) << "not safe to stop while saving";
    // Escape does not close the dialog while the job cannot stop.
    QTest::keyClick(job->dialog(), Qt::Key_Escape);
    EXPECT_TRUE(job->dialog()->isVisible());

    phase = 2;
    QTRY_VERIFY(phase == 3);
    QTRY_COMPARE(label->text(), QString("Reading files"));
    QTRY_VERIFY(cancel->isEnabled());
    EXPECT_EQ(job->dialog()->findChild<QProgressBar*>("barProgress")->value(), 30);
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_TRUE(waitDone(job));
    EXPECT_TRUE(cancelledSeen);
    EXPECT_TRUE(finishedOnWindowThread);
    EXPECT_FALSE(busyCursorShown());
}

TEST(BackgroundJob, ACancelClickedAfterTheJobStoppedOfferingItIsNotKeptForItsNextStep)
{
    QWidget window;
    window.show();
    std::atomic<int> phase{0};
    std::atomic<bool> heardInTheNextStep{true};
    BackgroundJob* job = BackgroundJob::start(
        &window, "Importing",
        [&](Progress& progress) {
            progress.beginStage("Saving records", 10);
            progress.setCancellable(true);
            phase = 1;
            while (phase == 1)
                QThread::msleep(5);
            progress.setCancellable(false); // the commit begins
            phase = 3;
            while (phase == 3)
                QThread::msleep(5);
            progress.beginStage("Moving files", 10);
            progress.setCancellable(true);
            heardInTheNextStep = progress.cancelRequested();
        },
        [](std::exception_ptr error) { EXPECT_FALSE(error); }, 0);
    QTRY_VERIFY(phase == 1);
    QTRY_VERIFY(job->dialog() && job->dialog()->isVisible());
    auto* cancel = job->dialog()->findChild<QPushButton*>("cmdCancel");
    QTRY_VERIFY(cancel->isEnabled());
    phase = 2;
    // No window event runs meanwhile: the button still offers Cancel when
    // the job has already stopped offering it.
    while (phase != 3)
        QThread::msleep(1);
    ASSERT_TRUE(cancel->isEnabled());
    cancel->click();
    phase = 4;
    ASSERT_TRUE(waitDone(job));
    EXPECT_FALSE(heardInTheNextStep);
}

TEST(BackgroundJob, PassesTheWorksExceptionToFinishedAndShowsNoDialogForAQuickJob)
{
    QWidget window;
    QString message;
    BackgroundJob* job = BackgroundJob::start(
        &window, "Saving", [](Progress&) { throw std::runtime_error("disk full"); },
        [&](std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::runtime_error& e) {
                message = e.what();
            }
        },
        5000);
    ASSERT_TRUE(waitDone(job));
    EXPECT_EQ(message, "disk full");
    EXPECT_EQ(job->dialog(), nullptr);
    EXPECT_FALSE(busyCursorShown());
}

TEST(BackgroundJob, OutlivesTheWindowItShowedOver)
{
    auto* window = new QWidget;
    window->show();
    std::atomic<bool> release{false};
    bool finished = false;
    BackgroundJob* job = BackgroundJob::start(
        window, "Saving",
        [&](Progress& progress) {
            progress.beginStage("Saving", 0);
            while (!release)
                QThread::msleep(5);
        },
        [&](std::exception_ptr) { finished = true; }, 0);
    QTRY_VERIFY(job->dialog());
    delete window; // the dialog goes with it; the job goes on
    release = true;
    ASSERT_TRUE(waitDone(job));
    EXPECT_TRUE(finished);
}

// A job that runs until it is asked to stop, with a step in the middle
// (a commit) where stopping is not safe until the test lets it end.
struct HeldJob {
    std::atomic<bool> inCommit{false};
    std::atomic<bool> releaseCommit{false};
    std::atomic<bool> workReturned{false};
    std::atomic<bool> stoppedEarly{false};

    BackgroundJob::Work work(bool commitFirst)
    {
        return [this, commitFirst](Progress& progress) {
            progress.beginStage("Working", 0);
            if (commitFirst) {
                inCommit = true;
                while (!releaseCommit)
                    QThread::msleep(2);
                inCommit = false;
            }
            progress.setCancellable(true);
            for (int i = 0; i < 5000 && !progress.cancelRequested(); ++i)
                QThread::msleep(2);
            stoppedEarly = progress.cancelRequested();
            workReturned = true;
        };
    }
};

TEST(BackgroundJob, ClosingItsWindowStopsTheJobAndTheWindowClosesOnceItHasEnded)
{
    auto* window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    QPointer<QWidget> alive(window);
    HeldJob held;
    bool windowThereAtFinish = false;
    BackgroundJob* job = BackgroundJob::start(window, "Working", held.work(true),
                                              [&](std::exception_ptr) { windowThereAtFinish = alive && alive->isVisible(); });
    QTRY_VERIFY(held.inCommit);
    EXPECT_FALSE(window->close()) << "the window waits for its job";
    QCoreApplication::processEvents();
    EXPECT_TRUE(alive && alive->isVisible());
    EXPECT_EQ(BackgroundJob::running(), QList<BackgroundJob*>{job});
    held.releaseCommit = true;
    ASSERT_TRUE(waitDone(job));
    EXPECT_TRUE(held.stoppedEarly) << "closing the window asked the job to stop";
    EXPECT_TRUE(windowThereAtFinish);
    QTRY_VERIFY(!alive);
    EXPECT_TRUE(BackgroundJob::running().isEmpty());
}

TEST(BackgroundJob, ClosingTheWindowItsWindowBelongsToWaitsToo)
{
    auto* options = new QWidget;
    options->setAttribute(Qt::WA_DeleteOnClose);
    options->show();
    auto* preview = new QWidget(options, Qt::Window); // goes with the options window
    preview->show();
    QPointer<QWidget> optionsAlive(options);
    QPointer<QWidget> previewAlive(preview);
    HeldJob held;
    bool previewThereAtFinish = false;
    BackgroundJob* job = BackgroundJob::start(preview, "Building", held.work(false),
                                              [&](std::exception_ptr) { previewThereAtFinish = !previewAlive.isNull(); });
    EXPECT_FALSE(options->close());
    EXPECT_TRUE(optionsAlive && previewAlive);
    ASSERT_TRUE(waitDone(job));
    EXPECT_TRUE(held.stoppedEarly);
    EXPECT_TRUE(previewThereAtFinish);
    QTRY_VERIFY(optionsAlive.isNull());
    EXPECT_TRUE(previewAlive.isNull());
}

TEST(BackgroundJob, StopAllWaitsForEveryJobAndStopsThoseStartedMeanwhile)
{
    QWidget window;
    HeldJob first;
    HeldJob second;
    HeldJob late;
    QStringList order;
    BackgroundJob::start(&window, "First", first.work(true), [&](std::exception_ptr) { order << "first"; });
    BackgroundJob::start(nullptr, "Second", second.work(false), [&](std::exception_ptr) {
        order << "second";
        // A job its finished starts while the program waits stops at once.
        BackgroundJob::start(nullptr, "Late", late.work(false), [&](std::exception_ptr) { order << "late"; });
    });
    QObject context;
    BackgroundJob::stopAll(&context, [&] { order << "stopped"; });
    QTRY_COMPARE(order, QStringList({"second", "late"}));
    EXPECT_TRUE(first.inCommit) << "a step that must not be broken off is waited for";
    first.releaseCommit = true;
    QTRY_COMPARE(order, QStringList({"second", "late", "first", "stopped"}));
    EXPECT_TRUE(first.stoppedEarly && second.stoppedEarly && late.stoppedEarly);

    // With nothing running it calls back at once; a context gone, never.
    bool atOnce = false;
    BackgroundJob::stopAll(&context, [&] { atOnce = true; });
    EXPECT_TRUE(atOnce);
    HeldJob another;
    BackgroundJob* job = BackgroundJob::start(nullptr, "Another", another.work(false), {});
    bool called = false;
    {
        QObject gone;
        BackgroundJob::stopAll(&gone, [&] { called = true; });
    }
    ASSERT_TRUE(waitDone(job));
    EXPECT_FALSE(called);
}

TEST(BackgroundJob, StopAllNowWaitsForTheWorkWithoutRunningFinished)
{
    auto* window = new QWidget;
    window->show();
    HeldJob held;
    bool finished = false;
    QPointer<BackgroundJob> job = BackgroundJob::start(window, "Working", held.work(false),
                                                       [&](std::exception_ptr) { finished = true; }, 0);
    QTRY_VERIFY(job->dialog());
    BackgroundJob::stopAllNow();
    EXPECT_TRUE(held.workReturned) << "the work has ended before anything is torn down";
    EXPECT_TRUE(held.stoppedEarly);
    EXPECT_TRUE(BackgroundJob::running().isEmpty());
    delete window;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    EXPECT_FALSE(finished);
    EXPECT_TRUE(job.isNull());
}

} // namespace
