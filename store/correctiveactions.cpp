#include "store/correctiveactions.h"

#include "store/database.h"

#include <cmath>

namespace kolva {

std::optional<int> correctiveActionCode(QStringView piece)
{
    bool ok = false;
    const double value = piece.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value != std::trunc(value) || std::abs(value) > 1e9)
        return std::nullopt;
    return int(value);
}

std::vector<int> correctiveActionCodes(QStringView list)
{
    std::vector<int> codes;
    for (QStringView piece : list.split(QLatin1Char(','))) {
        if (const std::optional<int> code = correctiveActionCode(piece))
            codes.push_back(*code);
    }
    return codes;
}

std::vector<CorrectiveAction> readCorrectiveActions(Database& db)
{
    std::vector<CorrectiveAction> actions;
    QSqlQuery q = db.query(QStringLiteral("SELECT CA_Code, CA_Description FROM _tblCorrAction ORDER BY CA_Code"));
    while (q.next())
        actions.push_back({q.value(0).toInt(), q.value(1).isNull() ? QString() : q.value(1).toString()});
    return actions;
}

} // namespace kolva
