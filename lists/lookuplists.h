#pragma once
// The three single-column name lists (surveyors, species, risk zones): what
// sets their editors apart, their rows, and the model the editors show and
// change. Nothing here touches a widget.

#include <QAbstractTableModel>
#include <QString>

#include <vector>

namespace kolva {

class Database;

enum class LookupKind { Surveyors, Species, RiskZone };

// How the editors of the three lists differ.
struct LookupListInfo {
    LookupKind kind;
    QString windowName;      // frmSurveyors
    QString table;           // Surveyors
    QString designCaption;   // the caption before the window first shows
    QString activeCaption;   // the caption once shown (empty: the design caption stays)
    QString columnHeader;    // the grid's one column
    bool cancelRereadsAlways; // Cancel re-reads the list also after Add
    bool deleteKeepsPosition; // after Delete the row at the same position is current, else the first
};
const LookupListInfo& lookupListInfo(LookupKind kind);

// One name of a list.
struct LookupRow {
    qint64 id = 0;
    QString description;
};

// Every row of the list's table, in name order (then in the order added).
std::vector<LookupRow> readLookupRows(Database& db, LookupKind kind);
// Adds a name and gives its row id.
qint64 insertLookupName(Database& db, LookupKind kind, const QString& name);
// Renames a row; false when the row is no longer there.
bool updateLookupName(Database& db, LookupKind kind, qint64 id, const QString& name);
void deleteLookupRow(Database& db, LookupKind kind, qint64 id);

// A name as stored: in capitals, without blanks around it.
QString lookupNameToStore(const QString& typed);

// Whether name begins with pattern, without regard to case; "*" in the
// pattern stands for any run of characters, every other character for
// itself ("%", "_" and apostrophes included).
bool nameBeginsWith(const QString& name, const QString& pattern);

// The rows of one list, in name order, as the editor's grid shows them.
// Changes go to the table at once and then show in the model.
class LookupListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    LookupListModel(Database& db, LookupKind kind, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Renames the row in the table (the name stored in capitals); the list
    // is read again so that the row moves to its place in name order.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Reads the list again from the table.
    void reload();
    // Write to the table only (the name stored in capitals); reload() then
    // shows the change. insertName gives the new row's id; renameId throws
    // a DbError when the row is no longer there.
    qint64 insertName(const QString& name);
    void renameId(qint64 id, const QString& name);
    void deleteId(qint64 id);

    const LookupRow& rowAt(int row) const { return rows_.at(size_t(row)); }
    // The row of that id, or -1.
    int rowOfId(qint64 id) const;
    // The first row, in name order from the top, whose name begins with the
    // pattern (see nameBeginsWith), or -1.
    int findFirst(const QString& pattern) const;
    LookupKind kind() const { return kind_; }

private:
    Database& db_;
    LookupKind kind_;
    std::vector<LookupRow> rows_;
};

} // namespace kolva
