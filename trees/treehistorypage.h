#pragma once
// The "History" page of the Tree editor: the changes of the current record,
// or the records deleted, and the whole text of the chosen entry.

#include <QAbstractTableModel>
#include <QStringList>
#include <QWidget>

#include <vector>

class QCheckBox;
class QPlainTextEdit;
class QTreeView;

namespace kolva {

class Database;

// The entries of a history as rows: their cells and each one's whole text.
class TreeHistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // The changes of one record, oldest first. Throws DbError.
    void readRecordHistory(Database& db, qint64 surveyId);
    // The records deleted, the latest first. Throws DbError.
    void readDeletedRecords(Database& db);
    // No entries, under the titles of a record's history or, with deleted,
    // of the deleted records.
    void clear(bool deleted = false);
    // The whole text of the entry of that row.
    QString detail(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Entry {
        QStringList cells;
        QString detail;
    };
    void setEntries(QStringList titles, std::vector<Entry> entries);

    QStringList titles_ = recordTitles();
    std::vector<Entry> entries_;
    static QStringList recordTitles();
    static QStringList deletedTitles();
};

class TreeHistoryPage : public QWidget {
    Q_OBJECT
public:
    explicit TreeHistoryPage(QWidget* parent = nullptr);

    // Reads the history of the record with that ID (none: -1), or the
    // deleted records when the user asked for them, and chooses the latest
    // entry. A history that cannot be read says why in the entry's box.
    void showHistory(Database& db, qint64 surveyId);
    TreeHistoryModel* model() const { return model_; }

signals:
    // The user asked for the deleted records, or for the record's history.
    void choiceChanged();

private:
    TreeHistoryModel* model_ = nullptr;
    QCheckBox* chkDeletedRecords_ = nullptr;
    QTreeView* lstHistory_ = nullptr;
    QPlainTextEdit* txtHistoryDetail_ = nullptr;
};

} // namespace kolva
