// The reference lists read alike everywhere: the card's files, the Tree
// editor's lists and the list editors show the same names in the same order.

#include "card/cardwriter.h"
#include "lists/lookuplists.h"
#include "store/codepage.h"
#include "store/database.h"
#include "store/referencelists.h"
#include "tests/support/testcontext.h"
#include "tests/support/widgets.h"
#include "trees/frmEditTree.h"

#include <QComboBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace kolva;
using namespace kolva::test;

namespace {

// Names in the order they are added, none a case variant of another. Without
// regard to case the letters compare as small ones, so "_" (between the
// capital and the small letters) sorts before every letter, where by bytes
// it would follow "ZELKOVA"; "\u00c9" (two UTF-8 bytes) follows every ASCII
// name.
const QStringList added = {"ZELKOVA", "oak red", QString::fromUtf8("\u00c9RABLE"), "_SHRUB", "acer", "Birch", "ACRU-2"};
const QStringList inNameOrder = {"_SHRUB", "acer", "ACRU-2", "Birch", "oak red", "ZELKOVA",
                                 QString::fromUtf8("\u00c9RABLE")};

QStringList cardFileEntries(Database& db, const char* file)
{
    for (const CardListFile& list : cardListFiles()) {
        if (QLatin1String(list.name) != QLatin1String(file))
            continue;
        QStringList lines = fromWindows1252(cardListBytes(db, list)).split(QStringLiteral("\r\n"));
        lines.removeLast(); // after the last line's end
        if (list.firstLine)
            lines.removeFirst();
        return lines;
    }
    ADD_FAILURE() << "no card file " << file;
    return {};
}

TEST(ReferenceLists, TheCardTheTreeEditorAndTheListEditorsListTheSameNamesInTheSameOrder)
{
    TestContext t;
    Database& db = *t.db;
    // Only the tables' names: no survey record adds one of its own.
    for (const char* table : {"_Archived_SurveyData", "Surveyors", "Species", "RiskZone", "_Streets_Master", "Streets_PDA"})
        db.exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)));
    for (const QString& name : added) {
        db.exec(QStringLiteral("INSERT INTO Surveyors (Description) VALUES (?)"), {name});
        db.exec(QStringLiteral("INSERT INTO Species (Description) VALUES (?)"), {name});
        db.exec(QStringLiteral("INSERT INTO RiskZone (Description) VALUES (?)"), {name});
        db.exec(QStringLiteral("INSERT INTO _Streets_Master (StreetName, SendToPDA) VALUES (?, 1)"), {name});
        db.exec(QStringLiteral("INSERT INTO Streets_PDA (StreetName) VALUES (?)"), {name});
    }

    frmEditTree editor(t.context());
    editor.show();
    settle();
    const struct {
        const char* cardFile;
        const char* treeList;
        std::optional<LookupKind> editor;
    } lists[] = {
        {"Surveyors.txt", "cboSurveyor", LookupKind::Surveyors},
        {"Species.txt", "cboSpecies", LookupKind::Species},
        {"RiskZones.txt", "cboRiskZone", LookupKind::RiskZone},
        {"Streets.txt", "cboStreetName", std::nullopt},
    };
    for (const auto& list : lists) {
        SCOPED_TRACE(list.cardFile);
        EXPECT_EQ(cardFileEntries(db, list.cardFile), inNameOrder);
        QComboBox* box = child<QComboBox>(&editor, QString::fromLatin1(list.treeList));
        QStringList shown;
        for (int i = 0; i < box->count(); ++i)
            shown << box->itemText(i);
        EXPECT_EQ(shown, inNameOrder);
        if (list.editor) {
            QStringList rows;
            for (const LookupRow& row : readLookupRows(db, *list.editor))
                rows << row.description;
            EXPECT_EQ(rows, inNameOrder);
        }
    }
}

TEST(ReferenceLists, NamesAlikeButForCaseStayInTheOrderAddedAndTheReportsZonesAsAdded)
{
    TestContext t;
    Database& db = *t.db;
    db.exec(QStringLiteral("DELETE FROM RiskZone"));
    for (const char* zone : {"PARKS", "downtown", "Parks", "DOWNTOWN", "Avenue"})
        db.exec(QStringLiteral("INSERT INTO RiskZone (Description) VALUES (?)"), {QString::fromLatin1(zone)});
    EXPECT_EQ(readReferenceNames(db, ReferenceList::RiskZones),
              QStringList({"Avenue", "downtown", "DOWNTOWN", "PARKS", "Parks"}));
    EXPECT_EQ(cardFileEntries(db, "RiskZones.txt"), readReferenceNames(db, ReferenceList::RiskZones));
    // The Tree editor offers each name once, as first added.
    EXPECT_EQ(readReferenceList(db, ReferenceList::RiskZones), QStringList({"Avenue", "downtown", "PARKS"}));
    EXPECT_EQ(readRiskZonesAsAdded(db), QStringList({"PARKS", "downtown", "Parks", "DOWNTOWN", "Avenue"}));
}

} // namespace
