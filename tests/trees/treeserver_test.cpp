// Two people editing one survey record on a server database: each through a
// connection of their own to a real PostgreSQL server (KOLVA_TEST_PG_URI).
#include "store/dates.h"
#include "store/kolvadb.h"
#include "store/surveyhistory.h"
#include "tests/support/serverdatabase.h"
#include "tests/trees/edittreetest.h"
#include "tests/trees/treetestdata.h"
#include "trees/treelist.h"
#include "trees/treerecord.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace kolva;
using kolva::test::addTree;
using kolva::test::stored;

namespace {

const QDateTime AnnSaves(QDate(2026, 3, 4), QTime(9, 15, 0));
const QDateTime BenSaves(QDate(2026, 3, 4), QTime(9, 20, 0));

class TreeServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::ServerTestDatabase::available()) << "KOLVA_TEST_PG_URI is not set";
        server = std::make_unique<test::ServerTestDatabase>();
        ann = openKolvaDatabase(server->uri());
        ben = openKolvaDatabase(server->uri());
        id = addTree(*ann, {{"Species", "oak"}, {"DBH", 14}, {"Latitude", 40.1234567890123}});
    }

    std::unique_ptr<test::ServerTestDatabase> server;
    std::unique_ptr<Database> ann;
    std::unique_ptr<Database> ben;
    qint64 id = 0;
};

// Every order the Tree editor lists by an index the server reads from an
// index, in order (the ties, if any, put in order as they come), instead of
// sorting the whole table before it gives the first row.
TEST_F(TreeServerTest, EveryIndexedOrderIsReadFromAnIndexNotSortedWhole)
{
    ann->exec("SET enable_sort = off");
    std::vector<std::pair<QString, TreeListSource>> orders;
    for (int option = -1; option <= 5; ++option) {
        TreeListSource source;
        source.sortOption = option;
        orders.push_back({QStringLiteral("option %1").arg(option), source});
    }
    const QStringList indexed = {"Tree_ID", "Date_Evaluated", "Species", "Hazard_Rating", "Surveyor", "StreetName"};
    for (int column = 0; column < int(treeGridColumns().size()); ++column) {
        if (!indexed.contains(treeGridColumns()[size_t(column)].field))
            continue;
        for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            TreeListSource source;
            source.sortColumn = column;
            source.sortOrder = order;
            orders.push_back({treeGridColumns()[size_t(column)].field + (order == Qt::AscendingOrder ? " up" : " down"),
                              source});
        }
    }
    static const QRegularExpression wholeSort(QStringLiteral(R"((^|->)\s*Sort\s+\(cost)"),
                                              QRegularExpression::MultilineOption);
    for (const auto& [name, source] : orders) {
        const BoundStatement list = treeListStatement(*ann, source);
        ASSERT_TRUE(list.values.isEmpty()) << name.toStdString();
        QSqlQuery plan = ann->query("EXPLAIN " + list.sql);
        QString text;
        while (plan.next())
            text += plan.value(0).toString() + "\n";
        EXPECT_FALSE(wholeSort.match(text).hasMatch()) << name.toStdString() << "\n" << text.toStdString();
    }
}

// Ann's save of a field Ben changed after she read the record writes
// nothing, and tells her who changed it and when.
TEST_F(TreeServerTest, ASaveOverAnotherPersonsChangeIsRefusedAndNamesThem)
{
    struct Case {
        const char* column;
        QVariant bens;
        QVariant anns;
    };
    // A change of case only is a change; so is a number, and a number's last digit.
    const Case cases[] = {
        {"Species", "Oak", "Red Oak"},
        {"DBH", 15, 20},
        {"Latitude", 40.1234567890124, 41.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        const TreeRecord annRead = *readTreeRecord(*ann, id);
        writeTreeRecord(*ben, id, {{c.column, c.bens}}, *readTreeRecord(*ben, id), {BenSaves, "ben"});
        try {
            writeTreeRecord(*ann, id, {{c.column, c.anns}}, annRead, {AnnSaves, "ann"});
            ADD_FAILURE() << "saved over Ben's change";
        } catch (const TreeRecordChanged& changed) {
            ASSERT_EQ(changed.conflicts().size(), 1u);
            const TreeFieldConflict& conflict = changed.conflicts().front();
            EXPECT_EQ(conflict.column, c.column);
            ASSERT_TRUE(conflict.change.has_value());
            EXPECT_EQ(conflict.change->changedBy, "ben");
            EXPECT_EQ(conflict.change->changedAt, BenSaves);
            EXPECT_TRUE(treeRecordChangedMessage(changed.conflicts()).text.contains(
                "changed by ben on " + shownDateTime(BenSaves)));
        }
        EXPECT_EQ(stored(*ann, id, c.column), c.bens);
    }
}

TEST_F(TreeServerTest, ASaveOfTheValueAsReadIsNotAChange)
{
    const TreeRecord annRead = *readTreeRecord(*ann, id);
    // The same text, the same number, the same last digit: Ann writes over her own reading.
    const TreeRecord written = writeTreeRecord(*ann, id,
                                               {{"Species", "Pin Oak"}, {"DBH", 16}, {"Latitude", 40.5}},
                                               annRead, {AnnSaves, "ann"});
    EXPECT_EQ(written.at("Species"), "Pin Oak");
    EXPECT_EQ(stored(*ben, id, "DBH").toInt(), 16);
}

TEST_F(TreeServerTest, ChangesOfDifferentFieldsByTwoPeopleBothSurvive)
{
    const TreeRecord annRead = *readTreeRecord(*ann, id);
    const TreeRecord benRead = *readTreeRecord(*ben, id);
    writeTreeRecord(*ben, id, {{"Note", "cabled"}}, benRead, {BenSaves, "ben"});
    writeTreeRecord(*ann, id, {{"Species", "Pin Oak"}}, annRead, {AnnSaves, "ann"});
    EXPECT_EQ(stored(*ann, id, "Note"), "cabled");
    EXPECT_EQ(stored(*ann, id, "Species"), "Pin Oak");
    QStringList changes;
    for (const HistoryEntry& e : readSurveyHistory(*ann, id))
        changes << e.changedBy + ":" + e.field;
    EXPECT_EQ(changes.join(','), "ben:Note,ann:Species");
}

// A save holds the row until it commits: Ben's save of the same field waits
// for Ann's, then finds her change instead of writing over it.
TEST_F(TreeServerTest, ASaveWaitsForAnotherSaveOfTheRecordAndThenSeesIt)
{
    const TreeRecord benRead = *readTreeRecord(*ben, id);
    ann->exec("BEGIN");
    ann->exec("UPDATE _Archived_SurveyData SET Species = 'OAK' WHERE ID = ?", {id});
    // Ben's lock wait runs out while Ann's transaction is open: nothing written.
    ben->exec("SET lock_timeout = 200");
    EXPECT_THROW(writeTreeRecord(*ben, id, {{"Species", "Elm"}}, benRead, {BenSaves, "ben"}), TreeRecordRefused);
    ann->exec("COMMIT");
    EXPECT_THROW(writeTreeRecord(*ben, id, {{"Species", "Elm"}}, benRead, {BenSaves, "ben"}), TreeRecordChanged);
    EXPECT_EQ(stored(*ben, id, "Species"), "OAK");
}

TEST_F(TreeServerTest, ARecordDeletedByAnotherPersonIsSaidSoWithWhoAndWhen)
{
    const TreeRecord annRead = *readTreeRecord(*ann, id);
    ASSERT_TRUE(deleteTreeRecord(*ben, id, {BenSaves, "ben"}));
    EXPECT_FALSE(readTreeRecord(*ann, id).has_value());
    const QString when = shownDateTime(BenSaves);
    EXPECT_TRUE(recordGoneMessage(*ann, id).contains("deleted by ben on " + when)) << recordGoneMessage(*ann, id).toStdString();
    try {
        writeTreeRecord(*ann, id, {{"Species", "Elm"}}, annRead, {AnnSaves, "ann"});
        ADD_FAILURE() << "saved a deleted record";
    } catch (const TreeRecordRefused& refused) {
        EXPECT_TRUE(refused.userMessage().contains("deleted by ben on " + when)) << refused.userMessage().toStdString();
    }
}

// The server ends Ann's connection (restarted, or the network dropped)
// while she edits: her save says so and writes nothing; the next save opens
// the connection again and is stored.
TEST_F(TreeServerTest, ASaveAfterTheConnectionWasLostIsRefusedInWordsAndTheNextOneIsStored)
{
    const TreeRecord annRead = *readTreeRecord(*ann, id);
    const QVariant annBackend = ann->scalar("SELECT pg_backend_pid()");
    ASSERT_TRUE(ben->scalar("SELECT pg_terminate_backend(?)", {annBackend}).toBool());
    try {
        writeTreeRecord(*ann, id, {{"Species", "Elm"}}, annRead, {AnnSaves, "ann"});
        ADD_FAILURE() << "saved on a lost connection";
    } catch (const TreeRecordRefused& refused) {
        EXPECT_TRUE(refused.column().isEmpty());
        EXPECT_TRUE(refused.userMessage().contains("The connection to the database server was lost"))
            << refused.userMessage().toStdString();
    }
    EXPECT_EQ(stored(*ben, id, "Species"), "oak");
    const TreeRecord written = writeTreeRecord(*ann, id, {{"Species", "Elm"}}, annRead, {AnnSaves, "ann"});
    EXPECT_EQ(written.at("Species"), "Elm");
    EXPECT_NE(ann->scalar("SELECT pg_backend_pid()"), annBackend);
    EXPECT_EQ(stored(*ben, id, "Species"), "Elm");
}

} // namespace

namespace {

// The Tree editor on the server database: Ann's window, Ben's connection.
class EditTreeServerTest : public test::EditTreeTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::ServerTestDatabase::available()) << "KOLVA_TEST_PG_URI is not set";
        server = std::make_unique<test::ServerTestDatabase>();
        t.db = openKolvaDatabase(server->uri());
        ben = openKolvaDatabase(server->uri());
        id = addTree(*t.db, {{"Tree_ID", 1}, {"Species", "oak"}, {"DBH", 14}});
        addTree(*t.db, {{"Tree_ID", 2}});
    }
    void TearDown() override { window.reset(); }

    std::unique_ptr<test::ServerTestDatabase> server;
    std::unique_ptr<Database> ben;
    qint64 id = 0;
};

// Ann's save of a field Ben changed asks her whether to reload: No keeps
// her edit on the screen, unsaved; Yes shows the record as Ben left it.
TEST_F(EditTreeServerTest, ASaveOverAnotherPersonsChangeAsksAndYesReloadsWhileNoKeepsTheEdit)
{
    open();
    ASSERT_EQ(box("txtDBH")->text(), "14");
    writeTreeRecord(*ben, id, {{"DBH", 15}}, *readTreeRecord(*ben, id), {BenSaves, "ben"});
    setText("txtDBH", "20");
    t.prompter.answer(MsgAnswer::No);
    click("cmdSave");
    EXPECT_TRUE(t.prompter.last().message.text.contains("changed by ben on " + shownDateTime(BenSaves)))
        << t.prompter.last().message.text.toStdString();
    EXPECT_EQ(box("txtDBH")->text(), "20");
    EXPECT_EQ(stored(*ben, id, "DBH").toInt(), 15);

    writeTreeRecord(*ben, id, {{"DBH", 16}}, *readTreeRecord(*ben, id), {BenSaves, "ben"});
    t.prompter.answer(MsgAnswer::Yes);
    click("cmdSave");
    EXPECT_EQ(t.prompter.last().message.caption, recordNotSavedCaption());
    EXPECT_EQ(box("txtDBH")->text(), "16");
    EXPECT_FALSE(window->hasPendingChanges());
    EXPECT_EQ(stored(*ben, id, "DBH").toInt(), 16);
}

// The server ends the window's connection: the save says so and keeps the
// edit on the screen; saving again once the server is back stores it.
TEST_F(EditTreeServerTest, ASaveOnALostConnectionKeepsTheEditAndSavingAgainStoresIt)
{
    open();
    setText("txtDBH", "21");
    ASSERT_TRUE(ben->scalar("SELECT pg_terminate_backend(?)", {t.db->scalar("SELECT pg_backend_pid()")}).toBool());
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdSave");
    EXPECT_TRUE(t.prompter.last().message.text.contains("The connection to the database server was lost"))
        << t.prompter.last().message.text.toStdString();
    EXPECT_EQ(box("txtDBH")->text(), "21");
    EXPECT_TRUE(window->hasPendingChanges());
    EXPECT_EQ(stored(*ben, id, "DBH").toInt(), 14);
    click("cmdSave");
    EXPECT_FALSE(window->hasPendingChanges());
    EXPECT_EQ(stored(*ben, id, "DBH").toInt(), 21);
}

} // namespace
