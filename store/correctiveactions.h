#pragma once
// The corrective-action codes 1 to 11 and the short names the handheld and
// the Tree editor show them by ("1. Move Target"), and the codes with their
// descriptions as _tblCorrAction holds them.

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
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

// The code one piece of a corrective-action list stands for: the piece's
// numeric value, blanks around it ignored, when that value is a whole number
// ("3", " 03", "3.0", "3e0" are all 3). A piece that is empty, not a number
// ("3a", "3;9") or not whole ("3.5") stands for no code.
std::optional<int> correctiveActionCode(QStringView piece);

// The codes of a corrective-action list ("3,9"), piece by piece in the order
// written, a code written twice given twice; pieces that stand for no code
// are left out. Every report that reads a tree's list reads it with this.
std::vector<int> correctiveActionCodes(QStringView list);

struct CorrectiveAction {
    int code = 0;
    QString description; // "" when the table holds none
};

// Every row of _tblCorrAction in code order. Throws DbError.
std::vector<CorrectiveAction> readCorrectiveActions(Database& db);

} // namespace kolva
