#include "store/correctiveactions.h"

#include "store/database.h"

namespace kolva {

std::vector<CorrectiveAction> readCorrectiveActions(Database& db)
{
    std::vector<CorrectiveAction> actions;
    QSqlQuery q = db.query(QStringLiteral("SELECT CA_Code, CA_Description FROM _tblCorrAction ORDER BY CA_Code"));
    while (q.next())
        actions.push_back({q.value(0).toInt(), q.value(1).isNull() ? QString() : q.value(1).toString()});
    return actions;
}

} // namespace kolva
