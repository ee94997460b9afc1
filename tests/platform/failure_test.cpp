#include "platform/failure.h"
#include "store/conversion.h"
#include "store/database.h"
#include "store/kolvadb.h"
#include "tests/support/scriptedprompter.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <optional>

using namespace kolva;
using namespace kolva::test;

namespace {

// The words of the export windows: "28 - No space left on device".
FailureReport numbered()
{
    FailureReport report;
    report.text = QStringLiteral("%2 - %1");
    return report;
}

// A window with a text for each kind, naming its file, that says a stop.
FailureReport perKind()
{
    FailureReport report;
    report.caption = QStringLiteral("Cancelled");
    report.icon = MsgIcon::Information;
    report.subject = QStringLiteral("/data/100%1 streets.csv");
    report.text = QStringLiteral("Nothing imported.\n\n%1");
    report.fileText = QStringLiteral("Nothing imported.\n\nThe file %3 could not be read: %1.");
    report.databaseText = QStringLiteral("Nothing imported.\n\nThe streets of %3 could not be saved: %1 (%2)");
    report.stoppedText = QStringLiteral("Nothing imported.");
    report.stoppedCaption = QStringLiteral("Stopped");
    return report;
}

struct Shown {
    QString text;
    QString caption;
    MsgIcon icon;
};

struct Case {
    const char* name;
    FailureReport report;
    std::exception_ptr error;
    FailureKind kind;
    std::optional<Shown> shown; // none: nothing is said
};

TEST(ReportFailure, SaysEachKindInTheWindowsWords)
{
    const Case cases[] = {
        {"file error with its number", numbered(), std::make_exception_ptr(FileError(28, "No space left on device")),
         FailureKind::File, Shown{"28 - No space left on device", "Error", MsgIcon::Exclamation}},
        {"file error without a number", numbered(), std::make_exception_ptr(FileError("The card is gone")),
         FailureKind::File, Shown{"0 - The card is gone", "Error", MsgIcon::Exclamation}},
        {"database error with the engine's code", numbered(),
         std::make_exception_ptr(DbError("database is locked", "UPDATE x SET y = 1", "5")), FailureKind::Database,
         Shown{"5 - database is locked", "Error", MsgIcon::Exclamation}},
        {"database error without a code", numbered(), std::make_exception_ptr(DbError("disk I/O error")),
         FailureKind::Database, Shown{"0 - disk I/O error", "Error", MsgIcon::Exclamation}},
        {"input error", numbered(), std::make_exception_ptr(InputError("13 is not a month")), FailureKind::Input,
         Shown{"0 - 13 is not a month", "Error", MsgIcon::Exclamation}},
        {"a failure outside the family", numbered(), std::make_exception_ptr(std::bad_alloc()),
         FailureKind::Unexpected, Shown{"0 - std::bad_alloc", "Error", MsgIcon::Exclamation}},
        {"not even a std::exception", numbered(), std::make_exception_ptr(42), FailureKind::Unexpected,
         Shown{"0 - an error of a kind the program does not know", "Error", MsgIcon::Exclamation}},
        {"stop where a stop says nothing", numbered(), std::make_exception_ptr(Cancelled()), FailureKind::Cancelled,
         std::nullopt},
        {"file error in its own text, the file named as it is", perKind(),
         std::make_exception_ptr(FileError(2, "No such file")), FailureKind::File,
         Shown{"Nothing imported.\n\nThe file /data/100%1 streets.csv could not be read: No such file.", "Cancelled",
               MsgIcon::Information}},
        {"database error in its own text", perKind(), std::make_exception_ptr(DbError("refused", {}, "19")),
         FailureKind::Database,
         Shown{"Nothing imported.\n\nThe streets of /data/100%1 streets.csv could not be saved: refused (19)",
               "Cancelled", MsgIcon::Information}},
        {"input error without a text of its own", perKind(), std::make_exception_ptr(InputError("empty")),
         FailureKind::Input, Shown{"Nothing imported.\n\nempty", "Cancelled", MsgIcon::Information}},
        {"stop where a stop is said", perKind(), std::make_exception_ptr(Cancelled()), FailureKind::Cancelled,
         Shown{"Nothing imported.", "Stopped", MsgIcon::Information}},
    };
    QWidget window;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPrompter prompter;
        if (c.shown)
            prompter.answer(MsgAnswer::Ok);
        EXPECT_EQ(reportFailure(prompter, &window, c.report, c.error), c.kind);
        if (!c.shown) {
            EXPECT_TRUE(prompter.prompts().empty());
            continue;
        }
        ASSERT_EQ(prompter.prompts().size(), 1u);
        const MessageRequest& m = prompter.last().message;
        EXPECT_EQ(m.text, c.shown->text);
        EXPECT_EQ(m.caption, c.shown->caption);
        EXPECT_EQ(m.icon, c.shown->icon);
        EXPECT_EQ(m.buttons, MsgButtons::Ok);
    }
}

// The layers' own failures are of the family: a window says them by kind.
TEST(FailureFamily, TheLayersFailuresSayTheirKindAndWords)
{
    struct Member {
        const char* name;
        std::exception_ptr error;
        FailureKind kind;
        QString text;
        QString number;
    };
    const Member members[] = {
        {"statement refused", std::make_exception_ptr(DbError("constraint failed", "INSERT INTO t VALUES (?)", "19")),
         FailureKind::Database, "constraint failed", "19"},
        {"database file refused",
         std::make_exception_ptr(DatabaseRefused(DatabaseRefused::Reason::TooNew, "/d/KOLVA.MDB", "Made by a newer KOLVA.")),
         FailureKind::Database, "Made by a newer KOLVA.", "0"},
        {"conversion failed", std::make_exception_ptr(ConversionFailed("The file cannot be read.")), FailureKind::File,
         "The file cannot be read.", "0"},
        {"already converted", std::make_exception_ptr(AlreadyConverted("It is a SQLite database.")),
         FailureKind::File, "It is a SQLite database.", "0"},
        {"conversion stopped", std::make_exception_ptr(ConversionCancelled()), FailureKind::Cancelled,
         "stopped by the user", "0"},
    };
    for (const Member& m : members) {
        SCOPED_TRACE(m.name);
        const FailureWords words = failureWords(m.error);
        EXPECT_EQ(words.kind, m.kind);
        EXPECT_EQ(words.text, m.text);
        EXPECT_EQ(words.number, m.number);
    }
    // A log reads the statement too; the user reads the engine's words.
    const DbError error("constraint failed", "INSERT INTO t VALUES (?)", "19");
    EXPECT_STREQ(error.what(), "constraint failed [INSERT INTO t VALUES (?)]");
    EXPECT_EQ(error.message(), "constraint failed");
}

} // namespace
