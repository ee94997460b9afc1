#include "platform/windows.h"

#include <QApplication>
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

} // namespace
