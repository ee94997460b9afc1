#include "platform/keyfilter.h"
#include "store/textroutines.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

using namespace kolva;

namespace {

// What a box shows after the user typed into it.
QString typed(KeyFilter::Judge judge, const QString& keys)
{
    QLineEdit box;
    installKeyFilter(&box, std::move(judge));
    box.show();
    QTest::keyClicks(&box, keys);
    return box.text();
}

TEST(KeyFilter, DecimalBoxTakesDigitsAndThePointOnly)
{
    EXPECT_EQ(typed(IsDecimalKey, "12.5"), "12.5");
    EXPECT_EQ(typed(IsDecimalKey, "-1a2b"), "12");
    EXPECT_EQ(typed(IsIntegerKey, "-1.2x"), "-12");
}

TEST(KeyFilter, BackspaceAndMovementKeysStillWork)
{
    QLineEdit box;
    installKeyFilter(&box, IsDecimalKey);
    box.show();
    QTest::keyClicks(&box, "123");
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClick(&box, Qt::Key_Home);
    QTest::keyClick(&box, Qt::Key_Delete);
    QTest::keyClick(&box, Qt::Key_End);
    QTest::keyClicks(&box, "9");
    EXPECT_EQ(box.text(), "29");
}

TEST(KeyFilter, PasteCutAndCopyShortcutsDoNothing)
{
    QApplication::clipboard()->setText("abc");
    QLineEdit box;
    installKeyFilter(&box, IsDecimalKey);
    box.show();
    QTest::keyClicks(&box, "42");
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box.text(), "42");
    QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier); // select all refused too
    QTest::keyClick(&box, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(box.text(), "42");
    EXPECT_EQ(QApplication::clipboard()->text(), "abc");
}

TEST(KeyFilter, KeyCodesAreTheCharactersTyped)
{
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        QString text;
        int code;
    } cases[] = {
        {Qt::Key_5, Qt::NoModifier, "5", '5'},
        {Qt::Key_Period, Qt::NoModifier, ".", '.'},
        {Qt::Key_Backspace, Qt::NoModifier, "\b", 8},
        {Qt::Key_C, Qt::ControlModifier, "\x03", 3},
        {Qt::Key_V, Qt::ControlModifier, "\x16", 22},
        {Qt::Key_Left, Qt::NoModifier, "", -1},
        {Qt::Key_Tab, Qt::NoModifier, "\t", -1},
        {Qt::Key_Return, Qt::NoModifier, "\r", -1},
    };
    for (const auto& c : cases) {
        QKeyEvent event(QEvent::KeyPress, c.key, c.mods, c.text);
        EXPECT_EQ(keyCodeOf(&event), c.code) << c.key;
    }
}

} // namespace
