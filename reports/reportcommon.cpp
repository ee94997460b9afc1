#include "reports/reportcommon.h"

#include "platform/keyfilter.h"
#include "store/database.h"
#include "store/textroutines.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

namespace kolva {

QStringList riskZoneNames(Database& db)
{
    QStringList names;
    QSqlQuery q = db.query(QStringLiteral("SELECT Description FROM RiskZone ORDER BY rowid"));
    while (q.next())
        names.append(q.value(0).isNull() ? QString() : q.value(0).toString());
    return names;
}

QString printedStamp(const QDateTime& when)
{
    return QLocale::c().toString(when, QStringLiteral("dd-MMM-yy hh:mm AP"));
}

QString printedFooter(const QDateTime& when)
{
    return QStringLiteral("|Printed : ") + printedStamp(when) + QStringLiteral("|Page %d");
}

int wholeNumberValue(const QString& text)
{
    qsizetype at = 0;
    while (at < text.size() && text.at(at).isSpace())
        ++at;
    bool negative = false;
    if (at < text.size() && (text.at(at) == QLatin1Char('-') || text.at(at) == QLatin1Char('+'))) {
        negative = text.at(at) == QLatin1Char('-');
        ++at;
    }
    qint64 value = 0;
    while (at < text.size() && text.at(at) >= QLatin1Char('0') && text.at(at) <= QLatin1Char('9')) {
        value = value * 10 + (text.at(at).unicode() - '0');
        if (value > 1'000'000'000)
            break; // far beyond any rating; keeps the sum in range
        ++at;
    }
    return int(negative ? -value : value);
}

QString cellText(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

QPushButton* makeButton(QWidget* parent, const QString& objectName, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    return button;
}

QLabel* makeLabel(QWidget* parent, const QString& objectName, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    return label;
}

QLineEdit* makeIntegerBox(QWidget* parent, const QString& objectName, const QString& text, const QString& accessibleName)
{
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(objectName);
    box->setAccessibleName(accessibleName);
    box->setMaxLength(6);
    installKeyFilter(box, IsIntegerKey);
    return box;
}

void fillRiskZones(QComboBox* box, Database& db)
{
    box->clear();
    box->addItem(AllZonesItem);
    box->addItems(riskZoneNames(db));
    box->setCurrentIndex(0);
}

} // namespace kolva
