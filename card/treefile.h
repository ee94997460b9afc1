#pragma once
// The .tree file the handheld writes for each tree it assessed: one value a
// line, Windows-1252, lines ended by CR LF (LF alone, or CR alone as the
// handheld's own reader allowed, also end a line). Lines 2 to 44 hold the
// fields of one Survey record; lines 45 to 50 are read and ignored.

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <array>
#include <optional>

namespace kolva {

namespace treefile {
// Lines kept from a file (1 to 50); reading stops once line 51 is read.
constexpr int KeptLines = 50;
constexpr int MaxLinesRead = 51;
// A longer line means the file is not a handheld's file: it is abandoned.
constexpr qsizetype MaxLineBytes = 64 * 1024;
// The fields of one Survey record the import writes.
constexpr int FieldCount = 44;
} // namespace treefile

// Lines 1 to 50 of a file; lines the file does not have are empty.
using TreeFileLines = std::array<QString, treefile::KeptLines>;

// Reads the first 51 lines of a .tree file at most. Gives the lines, or
// nothing with why in *error: the file cannot be read, holds a NUL byte (it
// is not a text file) or a line longer than MaxLineBytes.
class TreeFileReader {
public:
    std::optional<TreeFileLines> read(const QString& path, QString* error);
    // The same for the bytes of a file already in memory.
    static std::optional<TreeFileLines> parse(QByteArrayView bytes, QString* error);

private:
    QByteArray buffer_;
};

// One column the import writes: its name, the file line it comes from (0
// for the import time) and how the line is converted.
struct SurveyField {
    enum class Kind { Text, Date, ImportTime, Long, Short };
    const char* column;
    int line;
    Kind kind;
};
// The 44 fields in the order of the INSERT, the order of
// importedSurveyColumns() (store/surveycolumns.h).
const std::array<SurveyField, treefile::FieldCount>& surveyFields();

using SurveyValues = std::array<QVariant, treefile::FieldCount>;

// The values of the Survey record of one file, bound in surveyFields()
// order: texts exactly as the file holds them, Date_Evaluated and Date_Added
// as stored dates, whole numbers rounded half to even within their ranges.
// Nothing, with why in *error, when line 2, line 4 or a small number does
// not convert.
std::optional<SurveyValues> toSurveyValues(const TreeFileLines& lines, const QDateTime& added, QString* error);
// The same with the import time already in its stored form.
std::optional<SurveyValues> toSurveyValues(const TreeFileLines& lines, const QString& addedStored, QString* error);

// A month/day/year date of a .tree file in its stored form ("2008-01-02
// 14:20:00"), or an empty text when it is not a real date. The same reading
// as parseUsDateTime, with a quick path for the forms the handheld writes.
QString storedUsDateTime(QStringView text);

} // namespace kolva
