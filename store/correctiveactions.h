#pragma once
// The corrective-action codes 1 to 11 and the short names the handheld and
// the Tree editor show them by ("1. Move Target"), and the codes with their
// descriptions as _tblCorrAction holds them.

#include <QString>
#include <QStringList>

#include <vector>

namespace kolva {

constexpr int CorrectiveActionCount = 11;

// "1. Move Target" ... "11. Cvrt/Wildlife", in code order.
inline QStringList correctiveActionCaptions()
{
    return {
        QStringLiteral("1. Move Target"),     QStringLiteral("2. Limit Access"),   QStringLiteral("3. Remove Tree"),
        QStringLiteral("4. Treat SGR"),       QStringLiteral("5. Prune Deadwood"), QStringLiteral("6. Prune Weakwood"),
        QStringLiteral("7. Prune Clear"),     QStringLiteral("8. Thin Crown"),     QStringLiteral("9. Reduce Height"),
        QStringLiteral("10. Cable/Brace"),    QStringLiteral("11. Cvrt/Wildlife"),
    };
}

class Database;

struct CorrectiveAction {
    int code = 0;
    QString description; // "" when the table holds none
};

// Every row of _tblCorrAction in code order. Throws DbError.
std::vector<CorrectiveAction> readCorrectiveActions(Database& db);

} // namespace kolva
