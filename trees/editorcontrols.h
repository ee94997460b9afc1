#pragma once
// The controls the Tree editor's pages are made of: lists that change by the
// wheel only with the focus, multi-line boxes with a most typed length, and
// the grids of labelled assessment lists.

#include <QComboBox>
#include <QObject>
#include <QPlainTextEdit>

#include <functional>

class QGridLayout;
class QTabWidget;

namespace kolva {

// A list that offers entries; with typing allowed it also takes any text.
// It changes its value by the wheel only while it has the focus: a wheel
// turned over it on the way down the page scrolls the page.
QComboBox* makeList(const QString& name, const QString& accessibleName, bool typingAllowed, QWidget* parent);

// A multi-line box that takes at most limit() typed or pasted characters. A
// longer stored text is shown whole; the user can shorten it.
class LimitedTextEdit : public QPlainTextEdit {
public:
    LimitedTextEdit(int limit, QWidget* parent);
    void setLimit(int limit) { limit_ = limit; }
    int limit() const { return limit_; }

    // The text as it is, no-break spaces and line separators (U+2028)
    // included (toPlainText() turns them into blanks and line ends); the
    // box's lines end in "\n".
    QString rawText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    int room() const;
    int limit_;
};

// Lays the controls out again whenever the widget it watches changes size.
class LayOutOnResize : public QObject {
public:
    LayOutOnResize(QObject* parent, std::function<void()> layOut) : QObject(parent), layOut_(std::move(layOut)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> layOut_;
};

// A trunk decay box the user empties reads 0 when left. A box that shows a
// record without the value stays empty: passing through it changes nothing.
class ZeroWhenEmpty : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The key filter of the latitude and longitude: a decimal number with a sign.
bool IsCoordinateKey(int keyCode);

// The page of a tab control that holds control, or -1.
int pageHolding(QTabWidget* tabs, QWidget* control);

// The grid of an assessment page.
QGridLayout* pageGrid(QWidget* page);

// A labelled assessment list in a page's grid, at row and column (two grid
// columns each: label, list).
void addListRow(QGridLayout* grid, const char* name, const char* labelName, const char* caption, int row, int column);

// The "Poor Architecture" lists of a page, cbo<stem>1 .. cbo<stem>count,
// from row on: the first beside the label, the second in the page's second
// list column, the third under the first; then the page's columns and rows
// take their stretch.
void addArchitectureRow(QGridLayout* grid, const char* stem, int count, int row);

// Runs f (a message) with the normal pointer, also while the list is
// being rebuilt under the busy one.
void withNormalPointer(const std::function<void()>& f);

} // namespace kolva
