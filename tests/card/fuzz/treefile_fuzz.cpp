// Fuzz target of the .tree reader: any bytes a card file can hold go through
// the line reader, the conversion into a Survey record and the number and
// date readers on their own. A crash, a sanitizer report or a value out of
// its range is a failure.

#include "card/treefile.h"
#include "store/numbers.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

using namespace kolva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QString error;
    const std::optional<TreeFileLines> lines =
        TreeFileReader::parse(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)), &error);
    if (!lines)
        return 0;
    const std::optional<SurveyValues> values =
        toSurveyValues(*lines, QStringLiteral("2008-01-02 10:30:00"), &error);
    if (values) {
        for (size_t i = 0; i < surveyFields().size(); ++i) {
            const SurveyField& field = surveyFields()[i];
            const QVariant& value = (*values)[i];
            if (field.kind == SurveyField::Kind::Short &&
                (value.toLongLong() < std::numeric_limits<qint16>::min() ||
                 value.toLongLong() > std::numeric_limits<qint16>::max()))
                std::abort();
            if (field.kind == SurveyField::Kind::Date && value.toString().size() != 19)
                std::abort();
        }
    } else if (error.isEmpty()) {
        std::abort(); // a refused file always says why
    }
    // The readers of single values, on every line kept.
    for (const QString& line : *lines) {
        const QString stored = storedUsDateTime(line);
        if (!stored.isEmpty() && stored.size() != 19)
            std::abort();
        if (const std::optional<qint64> n = roundHalfEven(line, -32768, 32767); n && (*n < -32768 || *n > 32767))
            std::abort();
    }
    return 0;
}
