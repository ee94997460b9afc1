#include "lists/lookuplists.h"

#include "store/database.h"
#include "store/referencelists.h"

namespace kolva {

namespace {

const LookupListInfo Lists[] = {
    {LookupKind::Surveyors, QStringLiteral("frmSurveyors"), QStringLiteral("Surveyors"),
     QStringLiteral("Add/Edit/Delete Surveyors"), QStringLiteral("Surveyor List"), QStringLiteral("Surveyor Name"),
     false, false},
    {LookupKind::Species, QStringLiteral("frmSpecies"), QStringLiteral("Species"),
     QStringLiteral("Add/Edt/Delete Tree Species"), QStringLiteral("Species List"), QStringLiteral("Species"), true,
     true},
    {LookupKind::RiskZone, QStringLiteral("frmRiskZone"), QStringLiteral("RiskZone"),
     QStringLiteral("Add/Edit/Delete Risk Zones"), QString(), QStringLiteral("Risk Zone"), true, false},
};

// The statements that change one table (it is read through
// store/referencelists.h); table names cannot be bound, so each list has its
// own fixed texts.
struct Statements {
    QString insert;
    QString update;
    QString remove;
};

const Statements& statements(LookupKind kind)
{
    static const Statements surveyors{
        QStringLiteral("INSERT INTO Surveyors (Description) VALUES (?)"),
        QStringLiteral("UPDATE Surveyors SET Description = ? WHERE ID = ?"),
        QStringLiteral("DELETE FROM Surveyors WHERE ID = ?")};
    static const Statements species{
        QStringLiteral("INSERT INTO Species (Description) VALUES (?)"),
        QStringLiteral("UPDATE Species SET Description = ? WHERE ID = ?"),
        QStringLiteral("DELETE FROM Species WHERE ID = ?")};
    static const Statements riskZone{
        QStringLiteral("INSERT INTO RiskZone (Description) VALUES (?)"),
        QStringLiteral("UPDATE RiskZone SET Description = ? WHERE ID = ?"),
        QStringLiteral("DELETE FROM RiskZone WHERE ID = ?")};
    switch (kind) {
    case LookupKind::Surveyors: return surveyors;
    case LookupKind::Species: return species;
    case LookupKind::RiskZone: break;
    }
    return riskZone;
}

} // namespace

const LookupListInfo& lookupListInfo(LookupKind kind)
{
    for (const LookupListInfo& info : Lists) {
        if (info.kind == kind)
            return info;
    }
    return Lists[0];
}

std::vector<LookupRow> readLookupRows(Database& db, LookupKind kind)
{
    const ReferenceList list = kind == LookupKind::Surveyors ? ReferenceList::Surveyors
                               : kind == LookupKind::Species ? ReferenceList::Species
                                                             : ReferenceList::RiskZones;
    std::vector<LookupRow> rows;
    for (ReferenceEntry& entry : readReferenceEntries(db, list))
        rows.push_back({entry.id, std::move(entry.name)});
    return rows;
}

qint64 insertLookupName(Database& db, LookupKind kind, const QString& name)
{
    db.exec(statements(kind).insert, {name});
    return db.lastInsertId();
}

bool updateLookupName(Database& db, LookupKind kind, qint64 id, const QString& name)
{
    return db.exec(statements(kind).update, {name, id}) > 0;
}

void deleteLookupRow(Database& db, LookupKind kind, qint64 id)
{
    db.exec(statements(kind).remove, {id});
}

QString lookupNameToStore(const QString& typed)
{
    return typed.trimmed().toUpper();
}

bool nameBeginsWith(const QString& name, const QString& pattern)
{
    const QStringView text(name);
    const QList<QStringView> pieces = QStringView(pattern).split(QLatin1Char('*'));
    if (!text.startsWith(pieces.first(), Qt::CaseInsensitive))
        return false;
    qsizetype from = pieces.first().size();
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        if (pieces[i].isEmpty())
            continue;
        // The leftmost place leaves the most room for the pieces after it.
        const qsizetype at = text.indexOf(pieces[i], from, Qt::CaseInsensitive);
        if (at < 0)
            return false;
        from = at + pieces[i].size();
    }
    return true;
}

// ---------------------------------------------------------------- the model

LookupListModel::LookupListModel(Database& db, LookupKind kind, QObject* parent)
    : QAbstractTableModel(parent), db_(db), kind_(kind)
{
}

int LookupListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int LookupListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant LookupListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
        return rows_[size_t(index.row())].description;
    return {};
}

QVariant LookupListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section == 0 ? QVariant(lookupListInfo(kind_).columnHeader) : QVariant();
    return QVariant();
}

Qt::ItemFlags LookupListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // A user who may only read edits no name in place.
    const Qt::ItemFlags editable = db_.readOnly() ? Qt::NoItemFlags : Qt::ItemIsEditable;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | editable | Qt::ItemNeverHasChildren;
}

bool LookupListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= int(rows_.size()))
        return false;
    renameId(rows_[size_t(index.row())].id, value.toString());
    reload();
    return true;
}

void LookupListModel::reload()
{
    std::vector<LookupRow> rows = readLookupRows(db_, kind_);
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

qint64 LookupListModel::insertName(const QString& name)
{
    return insertLookupName(db_, kind_, lookupNameToStore(name));
}

void LookupListModel::renameId(qint64 id, const QString& name)
{
    if (!updateLookupName(db_, kind_, id, lookupNameToStore(name)))
        throw DbError(QStringLiteral("the name is no longer in the list"));
}

void LookupListModel::deleteId(qint64 id)
{
    deleteLookupRow(db_, kind_, id);
}

int LookupListModel::rowOfId(qint64 id) const
{
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].id == id)
            return int(i);
    }
    return -1;
}

int LookupListModel::findFirst(const QString& pattern) const
{
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (nameBeginsWith(rows_[i].description, pattern))
            return int(i);
    }
    return -1;
}

} // namespace kolva
