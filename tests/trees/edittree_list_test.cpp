// The Tree editor window: when it builds its list, and how the sort options,
// the street filter, the search and the column titles rebuild it.

#include "tests/trees/edittreetest.h"
#include "tests/trees/treetestdata.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace kolva;
using namespace kolva::test;

namespace {

TEST_F(EditTreeTest, NothingRefreshesTheListWhileLoadingAndTheFirstActivationBuildsItOnce)
{
    addTree(*t.db, {{"Tree_ID", 10}, {"Hazard_Rating", 1}});
    addTree(*t.db, {{"Tree_ID", 2}, {"Hazard_Rating", 9}});
    addTree(*t.db, {{"Tree_ID", 9}, {"Hazard_Rating", 5}});
    window = std::make_unique<frmEditTree>(t.context());
    QSignalSpy refreshed(window.get(), &frmEditTree::treeListRefreshed);
    EXPECT_TRUE(window->IsLoading());
    EXPECT_EQ(gridCell(0, 0), "2") << "the list it opens with is in tree number order";
    EXPECT_EQ(gridCell(2, 0), "10");
    c<QRadioButton>("optSortBy(4)")->click();
    list("cboStreetFilter")->setCurrentIndex(1);
    list("cboStreetFilter")->setCurrentIndex(0);
    click("cmdRefresh");
    EXPECT_EQ(refreshed.count(), 0) << "the list is not rebuilt while loading";
    EXPECT_EQ(gridCell(0, 0), "2");

    window->show();
    settle();
    EXPECT_FALSE(window->IsLoading());
    EXPECT_EQ(refreshed.count(), 1);
    EXPECT_EQ(gridCell(0, 0), "2") << "rating 9 first: the option chosen while loading counts";
    EXPECT_EQ(gridCell(1, 0), "9");
    EXPECT_EQ(gridCell(2, 0), "10");
    EXPECT_EQ(QApplication::focusWidget(), c("cmdExit"));

    // Coming back to the window (from a message, say) keeps the record.
    click("cmdEdit");
    click("cmdNext");
    ASSERT_EQ(window->currentRow(), 1);
    QEvent deactivate(QEvent::WindowDeactivate), activate(QEvent::WindowActivate);
    QApplication::sendEvent(window.get(), &deactivate);
    QApplication::sendEvent(window.get(), &activate);
    EXPECT_EQ(refreshed.count(), 1);
    EXPECT_EQ(window->currentRow(), 1);
}

TEST_F(EditTreeTest, AnEmptyTableGivesAnEmptyListAndNoDetails)
{
    open();
    EXPECT_EQ(window->treeList()->rowCount(), 0);
    EXPECT_EQ(count(), "0");
    EXPECT_FALSE(detailsEnabled());
    for (const char* name : {"cmdEdit", "cmdDelete", "cmdSave", "cmdCancel"})
        EXPECT_FALSE(c(name)->isEnabled()) << name;
    EXPECT_TRUE(c("cmdExit")->isEnabled());
    EXPECT_TRUE(t.prompter.prompts().empty());

    // A record imported meanwhile enables them.
    addTree(*t.db);
    click("cmdRefresh");
    for (const char* name : {"cmdEdit", "cmdDelete", "cmdSave", "cmdCancel"})
        EXPECT_TRUE(c(name)->isEnabled()) << name;
}

TEST_F(EditTreeTest, TheCountSeparatesThousands)
{
    {
        Transaction batch(*t.db);
        for (int i = 0; i < 1234; ++i)
            addTree(*t.db, {{"Tree_ID", i}});
        batch.commit();
    }
    open();
    EXPECT_EQ(count(), "1,234");
}

TEST_F(EditTreeTest, SortOptionsAndTheStreetFilterRebuildTheList)
{
    addTree(*t.db, {{"Tree_ID", 1}, {"Hazard_Rating", 3}, {"StreetName", "ELM ST"}});
    addTree(*t.db, {{"Tree_ID", 2}, {"Hazard_Rating", 8}, {"StreetName", "O'NEIL ST"}});
    addTree(*t.db, {{"Tree_ID", 3}, {"Hazard_Rating", 5}, {"StreetName", "O'NEIL ST"}});
    open();
    EXPECT_EQ(gridCell(0, 0), "1");
    c<QRadioButton>("optSortBy(4)")->click();
    EXPECT_EQ(gridCell(0, 0), "2");
    EXPECT_EQ(gridCell(2, 0), "1");
    EXPECT_EQ(box("txtTreeID")->text(), "1") << "the record current before stays current";
    EXPECT_EQ(c<QTableView>("DBGrid1")->currentIndex().row(), 2);

    list("cboStreetFilter")->setCurrentText("O'NEIL ST");
    EXPECT_EQ(count(), "2");
    EXPECT_EQ(gridCell(0, 0), "2");
    EXPECT_EQ(gridCell(1, 0), "3");
    EXPECT_TRUE(detailsEnabled());

    list("cboStreetFilter")->setCurrentText("PARK DR");
    EXPECT_EQ(count(), "0");
    EXPECT_FALSE(detailsEnabled());
    EXPECT_EQ(box("txtTreeID")->text(), "");

    list("cboStreetFilter")->setCurrentIndex(0);
    EXPECT_EQ(count(), "3");
    EXPECT_TRUE(detailsEnabled());
}

TEST_F(EditTreeTest, TheSearchNarrowsTheListAsTheUserTypes)
{
    addTree(*t.db, {{"Tree_ID", 7}, {"StreetNum", "12"}, {"StreetName", "O'NEIL ST"}, {"Species", "QURU-NORTHERN RED OAK"}});
    addTree(*t.db, {{"Tree_ID", 8}, {"StreetNum", "14"}, {"StreetName", "O'NEIL ST"}});
    addTree(*t.db, {{"Tree_ID", 9}, {"StreetNum", "12"}, {"StreetName", "ELM ST"}});
    open();
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_H, Qt::AltModifier);
    auto* search = box("txtSearch");
    EXPECT_EQ(QApplication::focusWidget(), search) << "Searc&h";
    const auto typed = [&](const QString& text) {
        search->selectAll();
        QTest::keyClicks(search, text);
        QSignalSpy refreshed(window.get(), &frmEditTree::treeListRefreshed);
        EXPECT_TRUE(refreshed.wait(3000)) << text.toStdString();
    };
    typed("8");
    EXPECT_EQ(count(), "1");
    EXPECT_EQ(gridCell(0, 0), "8");
    typed("12 o'neil");
    EXPECT_EQ(count(), "1");
    EXPECT_EQ(gridCell(0, 0), "7");
    typed("red oak");
    EXPECT_EQ(gridCell(0, 0), "7");
    list("cboStreetFilter")->setCurrentText("ELM ST");
    EXPECT_EQ(count(), "0") << "the search and the street filter together";
    list("cboStreetFilter")->setCurrentIndex(0);
    typed("elm");
    EXPECT_EQ(count(), "1");
    EXPECT_EQ(gridCell(0, 0), "9");
    search->clear();
    QSignalSpy refreshed(window.get(), &frmEditTree::treeListRefreshed);
    EXPECT_TRUE(refreshed.wait(3000));
    EXPECT_EQ(count(), "3");
}

TEST_F(EditTreeTest, ClickingAColumnTitleSortsByItAndAgainReverses)
{
    addTree(*t.db, {{"Tree_ID", 1}, {"StreetNum", "100"}, {"DBH", 30}});
    addTree(*t.db, {{"Tree_ID", 2}, {"StreetNum", "12A"}, {"DBH", 10}});
    addTree(*t.db, {{"Tree_ID", 3}, {"StreetNum", "12"}, {"DBH", 20}});
    open();
    auto* header = c<QTableView>("DBGrid1")->horizontalHeader();
    const auto clickTitle = [header](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                                 header->height() / 2));
    };
    const auto treeIds = [this] { return gridCell(0, 0) + gridCell(1, 0) + gridCell(2, 0); };
    clickTitle(9);
    EXPECT_EQ(treeIds(), "321") << "house numbers: 12, 12A, 100";
    EXPECT_EQ(header->sortIndicatorSection(), 9);
    for (int i = 0; i < 6; ++i)
        EXPECT_FALSE(c<QRadioButton>(QString("optSortBy(%1)").arg(i))->isChecked());
    clickTitle(9);
    EXPECT_EQ(treeIds(), "123");
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    clickTitle(3);
    EXPECT_EQ(treeIds(), "231") << "DBH 10, 20, 30";
    c<QRadioButton>("optSortBy(0)")->click();
    EXPECT_EQ(treeIds(), "123");
    EXPECT_FALSE(header->isSortIndicatorShown());
}

TEST_F(EditTreeTest, ASortKeepsTheCurrentRecordAndClosingWaitsForASortRunning)
{
    {
        Transaction batch(*t.db);
        for (int i = 0; i < 6000; ++i)
            addTree(*t.db, {{"Tree_ID", i}, {"DBH", (i * 37) % 50}, {"Site", QString("S%1").arg((i * 13) % 97)}});
        batch.commit();
    }
    open();
    auto* grid = c<QTableView>("DBGrid1");
    auto* header = grid->horizontalHeader();
    const auto clickTitle = [header](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                                 header->height() / 2));
    };
    clickGridRow(150);
    const qint64 current = window->currentRecordId();
    ASSERT_EQ(box("txtTreeID")->text(), "150");

    // DBH has no index: sorted off the window thread, the record stays shown
    // and becomes the current row where the sort puts it.
    clickTitle(3);
    EXPECT_EQ(window->currentRecordId(), current);
    EXPECT_EQ(box("txtTreeID")->text(), "150");
    QTRY_VERIFY_WITH_TIMEOUT(!window->treeList()->isLoading(), 10000);
    const int row = window->treeList()->rowOf(current);
    EXPECT_NE(row, 150);
    EXPECT_EQ(window->currentRow(), row);
    EXPECT_EQ(grid->currentIndex().row(), row);
    EXPECT_EQ(gridCell(row, 0), "150");
    // The next record is the next row of the new order.
    click("cmdNext");
    EXPECT_EQ(window->currentRow(), row + 1);
    EXPECT_EQ(box("txtTreeID")->text(), gridCell(row + 1, 0));

    // A sort option (by the risk rating's index) keeps it too.
    const qint64 next = window->currentRecordId();
    c<QRadioButton>("optSortBy(4)")->click();
    EXPECT_EQ(window->currentRecordId(), next);
    QTRY_VERIFY_WITH_TIMEOUT(window->treeList()->rowOf(next) >= 0 &&
                                 grid->currentIndex().row() == window->treeList()->rowOf(next),
                             10000);
    EXPECT_GE(window->currentRow(), 0);
    EXPECT_EQ(window->currentRow(), window->treeList()->rowOf(next));

    // Closing while a sort runs waits for it.
    clickTitle(4);
    ASSERT_TRUE(window->treeList()->hasRunningSorts());
    window->close();
    EXPECT_TRUE(window->isVisible()) << "the window waits for the sort";
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 10000);
    EXPECT_FALSE(window->treeList()->hasRunningSorts());
}

} // namespace
