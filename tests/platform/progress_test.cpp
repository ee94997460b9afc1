#include "platform/busycursor.h"
#include "platform/progress.h"

#include <QLabel>
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

} // namespace
