#include "store/accessvalue.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kolva;

namespace {

QVariant n(qlonglong v) { return QVariant(v); }
QVariant d(double v) { return QVariant(v); }
QVariant t(const char* v) { return QVariant(QString::fromUtf8(v)); }
QVariant b(bool v) { return QVariant(v); }
const QVariant null;

// An Access date: days since 30 December 1899, the time as the fraction.
constexpr double June14th2007At0935 = 39247.0 + (9 * 3600 + 35 * 60) / 86400.0;

struct Case {
    const char* what;
    AccessType from;
    QVariant value;
    StoredKind to;
    QVariant stored;           // what the column holds, when it fits
    const char* unfit = nullptr; // otherwise: the reason given
};

const Case cases[] = {
    // NULL and empty.
    {"null number", AccessType::LongInteger, null, StoredKind::Integer, null},
    {"null text", AccessType::Text, null, StoredKind::Text, null},
    {"null date", AccessType::DateTime, null, StoredKind::Date, null},
    {"null flag is No", AccessType::Boolean, null, StoredKind::Flag, n(0)},
    {"empty text stays empty", AccessType::Text, t(""), StoredKind::Text, t("")},
    {"blank text stays as typed", AccessType::Memo, t("  "), StoredKind::Text, t("  ")},
    {"empty text in a number column", AccessType::Text, t(""), StoredKind::Integer, null},
    {"blank text in a real column", AccessType::Text, t("   "), StoredKind::Real, null},
    {"blank text in a date column", AccessType::Text, t(" "), StoredKind::Date, null},
    // Whole numbers.
    {"byte", AccessType::Byte, n(255), StoredKind::Integer, n(255)},
    {"long integer", AccessType::LongInteger, n(-2147483648LL), StoredKind::Integer, n(-2147483648LL)},
    {"whole currency", AccessType::Money, n(120000), StoredKind::Integer, n(12)},
    {"currency with cents", AccessType::Money, n(120001), StoredKind::Integer, null, "12.0001 is not a whole number"},
    {"whole double", AccessType::Double, d(31.0), StoredKind::Integer, n(31)},
    {"double with a fraction", AccessType::Double, d(31.5), StoredKind::Integer, null, "31.5 is not a whole number"},
    {"double beyond 2^53", AccessType::Double, d(9007199254740992.0), StoredKind::Integer, null, "is not a whole number"},
    {"digits with blanks", AccessType::Text, t(" 42 "), StoredKind::Integer, n(42)},
    {"text that is no number", AccessType::Text, t("4x"), StoredKind::Integer, null, "\"4x\" is not a whole number"},
    {"a date in a number column", AccessType::DateTime, d(1.0), StoredKind::Integer, null,
     "a Date/Time value cannot be stored there"},
    // Numbers with a fraction.
    {"integer as real", AccessType::Integer, n(-7), StoredKind::Real, d(-7.0)},
    {"currency as real", AccessType::Money, n(12005000), StoredKind::Real, d(1200.5)},
    {"single", AccessType::Single, d(42.5), StoredKind::Real, d(42.5)},
    {"infinity", AccessType::Double, d(std::numeric_limits<double>::infinity()), StoredKind::Real, null,
     "it is not a number"},
    {"decimal point text", AccessType::Text, t("-71.058331"), StoredKind::Real, d(-71.058331)},
    {"decimal comma text", AccessType::Text, t("42,36"), StoredKind::Real, null, "\"42,36\" is not a number"},
    {"nan text", AccessType::Text, t("nan"), StoredKind::Real, null, "\"nan\" is not a number"},
    {"yes/no as real", AccessType::Boolean, b(true), StoredKind::Real, null, "a Yes/No value cannot be stored there"},
    // Text.
    {"text as it is", AccessType::Text, t("O'NEIL P \u20ac"), StoredKind::Text, t("O'NEIL P \u20ac")},
    {"memo keeps its line breaks", AccessType::Memo, t("a\r\nb"), StoredKind::Text, t("a\r\nb")},
    {"integer as text", AccessType::Integer, n(-12), StoredKind::Text, t("-12")},
    {"currency as text", AccessType::Money, n(-5), StoredKind::Text, t("-0.0005")},
    {"double as text, shortest", AccessType::Double, d(0.1), StoredKind::Text, t("0.1")},
    {"yes as text", AccessType::Boolean, b(true), StoredKind::Text, t("1")},
    {"no as text", AccessType::Boolean, b(false), StoredKind::Text, t("0")},
    {"date as text", AccessType::DateTime, d(June14th2007At0935), StoredKind::Text, t("2007-06-14 09:35:00")},
    {"date beyond Access as text", AccessType::DateTime, d(3e6), StoredKind::Text, null,
     "it is not a date Access can hold"},
    // Dates.
    {"access date", AccessType::DateTime, d(June14th2007At0935), StoredKind::Date, t("2007-06-14 09:35:00")},
    {"day zero", AccessType::DateTime, d(0.0), StoredKind::Date, t("1899-12-30 00:00:00")},
    {"date beyond Access", AccessType::DateTime, d(-700000.0), StoredKind::Date, null,
     "it is not a date Access can hold (stored as -700000)"},
    {"iso text", AccessType::Text, t("2007-06-14 09:35:00"), StoredKind::Date, t("2007-06-14 09:35:00")},
    {"iso day", AccessType::Text, t(" 2007-06-14 "), StoredKind::Date, t("2007-06-14 00:00:00")},
    {"month/day/year", AccessType::Memo, t("6/14/2007 2:20 PM"), StoredKind::Date, t("2007-06-14 14:20:00")},
    {"no such day", AccessType::Text, t("2/30/2008"), StoredKind::Date, null, "\"2/30/2008\" is not a date"},
    {"number as date", AccessType::Double, d(1.0), StoredKind::Date, null, "a Double value cannot be stored there"},
    // Flags.
    {"yes", AccessType::Boolean, b(true), StoredKind::Flag, n(1)},
    {"no", AccessType::Boolean, b(false), StoredKind::Flag, n(0)},
    {"a number not 0", AccessType::Integer, n(-1), StoredKind::Flag, n(1)},
    {"number 0", AccessType::Byte, n(0), StoredKind::Flag, n(0)},
    {"text true", AccessType::Text, t(" TRUE "), StoredKind::Flag, n(1)},
    {"text -1", AccessType::Text, t("-1"), StoredKind::Flag, n(1)},
    {"text No", AccessType::Text, t("No"), StoredKind::Flag, n(0)},
    {"empty text flag", AccessType::Text, t(""), StoredKind::Flag, n(0)},
    {"text maybe", AccessType::Text, t("maybe"), StoredKind::Flag, null, "\"maybe\" is neither Yes nor No"},
    {"currency as flag", AccessType::Money, n(10000), StoredKind::Flag, null, "a Currency value cannot be stored there"},
};

TEST(AccessValue, EachKindOfAccessValueIsStoredAsItsColumnHoldsIt)
{
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.unfit) {
            try {
                const QVariant stored = storedValue(c.value, c.from, c.to);
                ADD_FAILURE() << "stored as " << stored.toString().toStdString();
            } catch (const UnfitValue& unfit) {
                EXPECT_TRUE(unfit.reason.contains(QString::fromUtf8(c.unfit))) << unfit.reason.toStdString();
            }
            continue;
        }
        const QVariant stored = storedValue(c.value, c.from, c.to);
        EXPECT_EQ(stored.isNull(), c.stored.isNull()) << stored.toString().toStdString();
        if (!c.stored.isNull()) {
            // The same kind of value as well: 1 and "1" are different in the database.
            EXPECT_EQ(QMetaType(stored.typeId()).name(), QMetaType(c.stored.typeId()).name());
            EXPECT_EQ(stored, c.stored) << stored.toString().toStdString();
        }
    }
}

} // namespace
