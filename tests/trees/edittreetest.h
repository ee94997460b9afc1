#pragma once
// The fixture of the Tree editor window's tests: a test database, the window
// opened on it, and the ways a user finds and drives its controls.

#include "tests/support/dbrules.h"
#include "tests/support/testcontext.h"
#include "tests/support/widgets.h"
#include "trees/frmEditTree.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

namespace kolva::test {

class EditTreeTest : public ::testing::Test {
protected:
    ~EditTreeTest() override
    {
        window.reset();
        settle();
    }
    // Makes the window and shows it; the first activation builds the list.
    frmEditTree* open()
    {
        window = std::make_unique<frmEditTree>(t.context());
        window->show();
        settle();
        EXPECT_FALSE(window->IsLoading());
        return window.get();
    }
    template <class T = QWidget>
    T* c(const QString& name)
    {
        return child<T>(window.get(), name);
    }
    QLineEdit* box(const QString& name) { return c<QLineEdit>(name); }
    QComboBox* list(const QString& name) { return c<QComboBox>(name); }
    void click(const QString& name) { QTest::mouseClick(c(name), Qt::LeftButton); }
    // Chooses an entry of a list the way a user does.
    void choose(const QString& name, const QString& entry)
    {
        QComboBox* l = list(name);
        const int at = l->findText(entry);
        ASSERT_GE(at, 0) << entry.toStdString();
        l->setCurrentIndex(at);
        emit l->activated(at);
    }
    void setText(const QString& name, const QString& text)
    {
        QLineEdit* b = box(name);
        b->selectAll();
        b->del();
        QTest::keyClicks(b, text);
    }
    void clickGridRow(int row)
    {
        auto* grid = c<QTableView>("DBGrid1");
        const QModelIndex index = grid->model()->index(row, 2);
        grid->scrollTo(index);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    }
    QString gridCell(int row, int column)
    {
        auto* grid = c<QTableView>("DBGrid1");
        return grid->model()->index(row, column).data().toString();
    }
    QString count() { return c<QLabel>("lblNumTrees")->text(); }
    // Shows the page that holds a control and gives it the focus.
    void focusControlOf(QWidget* control)
    {
        auto* tabs = c<QTabWidget>("SSTab2");
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->widget(i)->isAncestorOf(control))
                tabs->setCurrentIndex(i);
        }
        control->setFocus();
    }
    bool detailsEnabled() { return c<QTabWidget>("SSTab1")->isTabEnabled(1); }

    TestContext t;
    std::unique_ptr<frmEditTree> window;
};

// Turns the wheel one notch over the middle of a control, delivered as the
// window system's wheel is: to the widget under the pointer, then on to its
// parents while none of them takes it. (Qt passes an event a test sends on
// to no parent, and this Qt's test library has no wheel of its own.)
inline void turnWheel(QWidget* over, int notches = -1)
{
    const QPoint at = over->rect().center();
    QWidget* target = over->childAt(at) ? over->childAt(at) : over;
    for (QWidget* w = target; w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        const QPointF local = w->mapFromGlobal(over->mapToGlobal(QPointF(at)));
        QWheelEvent wheel(local, over->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &wheel);
        if (wheel.isAccepted())
            return;
    }
}

} // namespace kolva::test
