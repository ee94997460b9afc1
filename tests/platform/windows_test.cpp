#include "platform/windows.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QPointer>

#include <gtest/gtest.h>

using namespace kolva;

namespace {

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

TEST(OpenWindow, HideOpenerHidesItUntilTheWindowCloses)
{
    QWidget opener;
    opener.show();
    QPointer<QWidget> window = new QWidget;
    openWindow(&opener, window, OpenMode::HideOpener);
    EXPECT_FALSE(opener.isVisible());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    window->close();
    settle();
    EXPECT_TRUE(window.isNull()) << "deleted when closed";
    EXPECT_TRUE(opener.isVisible());
}

TEST(OpenWindow, ModalKeepsTheOpenerAndInvisibleOpenerHidesIt)
{
    QWidget opener;
    opener.show();
    QPointer<QWidget> modal = new QWidget;
    openWindow(&opener, modal, OpenMode::Modal);
    EXPECT_TRUE(modal->isModal());
    EXPECT_TRUE(opener.isVisible());
    modal->close();
    settle();

    QPointer<QWidget> editor = new QWidget;
    openWindow(&opener, editor, OpenMode::ModalInvisibleOpener);
    EXPECT_TRUE(editor->isModal());
    EXPECT_FALSE(opener.isVisible());
    editor->close();
    settle();
    EXPECT_TRUE(opener.isVisible());
}

TEST(SingleWindow, OpeningAgainBringsTheSameWindowForward)
{
    QWidget opener;
    opener.show();
    SingleWindow<QWidget> single;
    int made = 0;
    const auto make = [&] {
        ++made;
        return new QWidget;
    };
    QWidget* first = single.open(&opener, OpenMode::HideOpener, make);
    QWidget* second = single.open(&opener, OpenMode::HideOpener, make);
    EXPECT_EQ(first, second);
    EXPECT_EQ(made, 1);
    first->close();
    settle();
    EXPECT_EQ(single.get(), nullptr);
    QWidget* third = single.open(&opener, OpenMode::HideOpener, make);
    EXPECT_EQ(made, 2);
    third->close();
    settle();
}

// A window larger than the screen's free area opens no larger than it and
// scrolls its content: the controls of its layout and those placed by hand.
// One that fits stays as it is.
TEST(OpenWindow, AWindowLargerThanTheScreenScrolls)
{
    const QSize area = QGuiApplication::primaryScreen()->availableGeometry().size();
    for (const bool tooLarge : {false, true}) {
        SCOPED_TRACE(tooLarge);
        const QSize minimum = tooLarge ? area + QSize(0, 1) : area - QSize(40, 40);
        QPointer<QWidget> window = new QWidget;
        auto* layout = new QGridLayout(window);
        auto* laidOut = new QLabel(QStringLiteral("laid out"));
        layout->addWidget(laidOut, 0, 0);
        auto* placed = new QLabel(QStringLiteral("placed"), window);
        placed->setGeometry(minimum.width() - 60, minimum.height() - 20, 50, 16);
        auto* hidden = new QLabel(QStringLiteral("hidden"), window);
        hidden->hide();
        window->setMinimumSize(minimum);
        window->resize(minimum + QSize(100, 100));
        openWindow(nullptr, window, OpenMode::Modal);
        settle();

        auto* scroll = window->findChild<QScrollArea*>();
        EXPECT_EQ(scroll != nullptr, tooLarge);
        EXPECT_LE(window->width(), area.width());
        EXPECT_LE(window->height(), area.height());
        if (scroll) {
            QWidget* content = scroll->widget();
            EXPECT_TRUE(content->isAncestorOf(laidOut) && content->isAncestorOf(placed));
            EXPECT_EQ(content->minimumSize(), minimum);
            EXPECT_EQ(placed->geometry(), QRect(minimum.width() - 60, minimum.height() - 20, 50, 16));
            EXPECT_TRUE(placed->isVisible() && laidOut->isVisible());
            EXPECT_FALSE(hidden->isVisibleTo(content));
            EXPECT_TRUE(scroll->verticalScrollBar()->isVisible()) << "the part below the screen is reached by scrolling";
            EXPECT_EQ(scrollContent(window), scroll) << "once only";
        } else {
            EXPECT_EQ(window->minimumSize(), minimum);
        }
        window->close();
        settle();
    }
}

} // namespace
