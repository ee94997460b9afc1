#pragma once
// Survey records put straight into a test database.

#include "store/database.h"

#include <QString>
#include <QVariant>

namespace kolva::test {

struct Tree {
    int treeId = 1;
    QString evaluated = QStringLiteral("2007-05-10 09:00:00"); // stored form
    QVariant zone = QStringLiteral("DOWNTOWN");
    QString streetNum = QStringLiteral("10");
    QString street = QStringLiteral("MAIN ST");
    QString location = QStringLiteral("FRONT");
    QString species = QStringLiteral("ACRU-RED MAPLE");
    int dbh = 12;
    QVariant rating = 6;
    QVariant reinspectYear = QStringLiteral("2009");
    QVariant actions = QString();
    QString note;
};

// Inserts the tree and gives its ID.
inline qint64 addTree(Database& db, const Tree& t)
{
    db.exec(QStringLiteral("INSERT INTO _Archived_SurveyData (Surveyor, Date_Evaluated, RiskZone, StreetNum, "
                           "StreetName, Tree_ID, Location, Species, DBH, Hazard_Rating, ReinspectYear, "
                           "CorrectiveActions, Note) VALUES ('SMITH',?,?,?,?,?,?,?,?,?,?,?,?)"),
            {t.evaluated, t.zone, t.streetNum, t.street, t.treeId, t.location, t.species, t.dbh, t.rating,
             t.reinspectYear, t.actions, t.note});
    return db.lastInsertId();
}

} // namespace kolva::test
