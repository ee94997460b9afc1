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

// A key as the keyboard sends it: Delete carries the character 0x7F.
void press(QWidget* box, Qt::Key key, const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::sendKeyEvent(QTest::Press, box, key, text, mods);
    QTest::sendKeyEvent(QTest::Release, box, key, text, mods);
}

TEST(KeyFilter, BackspaceDeleteAndMovementKeysStillWork)
{
    QLineEdit box;
    installKeyFilter(&box, IsDecimalKey);
    box.show();
    QTest::keyClicks(&box, "123");
    press(&box, Qt::Key_Backspace, "\b");
    press(&box, Qt::Key_Home, "");
    press(&box, Qt::Key_Delete, QString(QChar(0x7F)));
    press(&box, Qt::Key_End, "");
    QTest::keyClicks(&box, "9");
    EXPECT_EQ(box.text(), "29");
}

TEST(KeyFilter, EditingShortcutsWorkAndAPasteTakesOnlyWhatTypingWould)
{
    QLineEdit box;
    installKeyFilter(&box, IsDecimalKey);
    box.show();
    QTest::keyClicks(&box, "42");
    QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(box.text(), "");
    EXPECT_EQ(QApplication::clipboard()->text(), "42") << "select all and cut";
    QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box.text(), "42") << "undo";

    const struct {
        const char* clipboard;
        const char* after;
    } pastes[] = {{"7.5", "427.5"}, {" 13\r\n", "4213"}, {"abc", "42"}, {"-1", "42"}, {"1 2", "42"}};
    for (const auto& p : pastes) {
        box.setText("42");
        box.end(false);
        QApplication::clipboard()->setText(p.clipboard);
        QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(box.text(), p.after) << p.clipboard;
    }
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
        {Qt::Key_Delete, Qt::NoModifier, "\x7f", -1},
    };
    for (const auto& c : cases) {
        QKeyEvent event(QEvent::KeyPress, c.key, c.mods, c.text);
        EXPECT_EQ(keyCodeOf(&event), c.code) << c.key;
    }
}

TEST(KeyFilters, AcceptDigitsBackspaceAndTheirOneSign)
{
    for (int c = '0'; c <= '9'; ++c) {
        EXPECT_TRUE(IsIntegerKey(c));
        EXPECT_TRUE(IsDecimalKey(c));
    }
    const struct {
        int code;
        bool integer, decimal;
    } cases[] = {
        {8, true, true},       // Backspace
        {'-', true, false},    // minus only for integers
        {'.', false, true},    // point only for decimals
        {'a', false, false},   {'Z', false, false}, {' ', false, false}, {',', false, false}, {'+', false, false},
        {3, false, false},     // Ctrl+C
        {22, false, false},    // Ctrl+V
        {24, false, false},    // Ctrl+X
        {13, false, false},    {9, false, false},   {27, false, false},
        {0x0663, false, false}, // an Arabic-Indic digit is not a decimal digit here
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsIntegerKey(c.code), c.integer) << c.code;
        EXPECT_EQ(IsDecimalKey(c.code), c.decimal) << c.code;
    }
}

} // namespace
