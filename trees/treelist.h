#pragma once
// The list of survey records the Tree editor browses: its six sort orders,
// the street filter, and a table model that holds only the record IDs of
// the list and reads the shown rows page by page, so that a list of a
// hundred thousand records opens at once and memory stays flat however far
// the user scrolls.

#include <QAbstractTableModel>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

namespace kolva {

class Database;

// The first entry of the street filter: no filter.
QString allStreetsEntry(); // "-- ALL STREETS -- "

constexpr int SortOptionCount = 6;
// The captions of the sort options 0 to 5.
QStringList sortOptionCaptions();
// "ORDER BY Tree_ID,Date_Evaluated" for option 0, and so on.
QString sortOrderClause(int option);

// Which records the list holds, in which order.
struct TreeListSource {
    // 0 to 5: a sort option; -1: the order the editor opens with, by tree number.
    int sortOption = -1;
    // Only the records of this street; empty for every street.
    QString street;

    bool operator==(const TreeListSource&) const = default;
};

// The statement that lists the record IDs of a source; the street, if any,
// is its one bound value. Rows of equal sort keys keep the order of their
// IDs, so that the list does not shuffle between refreshes.
QString treeListStatement(const TreeListSource& source);

// A column of the grid.
struct TreeGridColumn {
    QString field;
    QString caption;
    int widthTwips = 0;
    Qt::Alignment alignment;
};
// The ten columns of the grid, in order.
const std::vector<TreeGridColumn>& treeGridColumns();

class TreeListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Rows are read in pages of PageSize; at most CachedPages are held.
    static constexpr int PageSize = 100;
    static constexpr int CachedPages = 8;

    explicit TreeListModel(Database& db, QObject* parent = nullptr);
    ~TreeListModel() override;

    // Lists the records of source (throws DbError); the model is reset.
    void setSource(const TreeListSource& source);
    const TreeListSource& source() const { return source_; }
    // Empties the list.
    void clear();

    qint64 idAt(int row) const;
    // The row of the record with that ID, or -1.
    int rowOf(qint64 id) const;
    // Reads the row again when it is next shown (after the record was saved).
    void rowChanged(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // How many pages of rows are held now (never more than CachedPages).
    int cachedPageCount() const { return int(pages_.size()); }

private:
    struct Page {
        int first = 0;                        // the first row of the page
        std::vector<QStringList> rows;        // the shown texts of each row
    };
    const Page& page(int pageIndex) const;
    Page readPage(int pageIndex) const;

    Database& db_;
    TreeListSource source_;
    std::vector<qint64> ids_;
    mutable std::deque<Page> pages_; // most recently used first
    mutable Page unreadable_;        // what a page that cannot be read shows
    mutable QSqlQuery pageQuery_;
    mutable bool pageQueryReady_ = false;
};

} // namespace kolva
