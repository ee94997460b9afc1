#pragma once
// The list of survey records the Tree editor browses: its six sort orders,
// the sort by a column of the grid, the street filter and the search, and a
// table model that holds only the record IDs of the list and reads the shown
// rows page by page, so that memory stays flat however far the user scrolls.
// A list of a million records shows its first rows at once: the model counts
// the list, reads the IDs of its first rows, and reads the others a slice at
// a time while the window is idle. An order that no index gives (DBH, site,
// location, house number) is sorted off the window thread: the list shows its
// count at once, its first rows as soon as they are found, and the rest when
// the sort is done.

#include <QAbstractTableModel>
#include <QPointer>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <memory>
#include <vector>

namespace kolva {

class Database;
class DbError;
class HeldCursor;

// The first entry of the street filter: no filter.
QString allStreetsEntry(); // "-- ALL STREETS -- "

constexpr int SortOptionCount = 6;
// The captions of the sort options 0 to 5, with their access keys.
QStringList sortOptionCaptions();
// "ORDER BY Tree_ID,Date_Evaluated" for option 0, and so on (NULL first).
QString sortOrderClause(const Database& db, int option);

// What the search box found to look for.
struct TreeSearch {
    enum class Kind {
        None,       // nothing typed: every record
        TreeNumber, // digits only: the tree of that number
        Address,    // a house number, then words of the street's name
        Names,      // words of a street's or a species' name
    };
    Kind kind = Kind::None;
    qint64 treeNumber = 0;
    QString houseNumber;
    QStringList streets; // the street names the words begin a word of
    QStringList species; // the species names the words begin a word of

    bool operator==(const TreeSearch&) const = default;
};

// Reads what the user typed into the search box. "12" is tree 12; "12 ELM"
// is house number 12 on a street with a word that begins "ELM"; "red maple"
// finds the streets and species one of whose words begins "RED MAPLE"
// (without regard to case; "ACRU-RED MAPLE" is found). The names come from
// the street and species lists of the editor.
TreeSearch parseTreeSearch(const QString& typed, const QStringList& streetNames, const QStringList& speciesNames);

// Which records the list holds, in which order.
struct TreeListSource {
    // 0 to 5: a sort option; -1: the order the editor opens with, by tree number.
    int sortOption = -1;
    // A column of the grid the list is sorted by instead of the option, or -1.
    int sortColumn = -1;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
    // Only the records of this street; empty for every street.
    QString street;
    // Only the records the search found.
    TreeSearch search;

    bool operator==(const TreeListSource&) const = default;
};

// A statement and its bound values.
struct BoundStatement {
    QString sql;
    QVariantList values;
};

// The statement that lists the record IDs of a source. Rows of equal sort
// keys keep the order of their IDs, so that the list does not shuffle between
// refreshes. The names a search found are read from the table the model
// fills first (see TreeListModel::setSource).
BoundStatement treeListStatement(const Database& db, const TreeListSource& source);
// The statement that reads fields (a fixed list of columns) of every record
// of a source, in no order. The names a search found must be in the
// connection's table first (fillTreeSearchNames).
BoundStatement treeFieldsStatement(const TreeListSource& source, const QString& fields);
// Puts the street and species names a search found into the connection's
// table that the statements of a source read them from.
void fillTreeSearchNames(Database& db, const TreeSearch& search);
// The statement that counts the records of a source.
BoundStatement treeCountStatement(const TreeListSource& source);
// The statements that find the IDs of the records of a source, in no order;
// a record may be found by more than one.
std::vector<BoundStatement> treeMatchStatements(const TreeListSource& source);

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

    // Lists the records of source (throws DbError); the model is reset. The
    // count and the first rows are known at once, the other IDs follow.
    // Without recount, the same records in another order keep their count.
    void setSource(const TreeListSource& source, bool recount = true);
    const TreeListSource& source() const { return source_; }
    // Empties the list.
    void clear();
    // True until every ID of the list has been read.
    bool isLoading() const { return loader_ != nullptr || sorting_; }
    // True while the list shown is being sorted off the window thread; its
    // rows whose IDs are not known yet show empty.
    bool isSorting() const { return sorting_; }
    // True while a sort runs off the window thread, also one the list no
    // longer waits for (superseded, stopping).
    bool hasRunningSorts() const { return runningSorts_ > 0; }
    // Asks every sort off the window thread to stop; sortsStopped follows
    // once none runs. The list keeps what it knows.
    void stopSorting();
    // The lists of more rows than this in an order no index gives are sorted
    // off the window thread.
    static constexpr int SortedInBackgroundFrom = 5000;
    // Reads the IDs that are still to come at once. Called before the
    // database is written, so that the reading never sees a half-made change.
    void finishLoading();

    // The record ID of row, or -1 when it cannot be read (readFailed tells).
    qint64 idAt(int row) const;
    // The record ID of row, or -1 past the end; throws DbError when the
    // list cannot be read.
    qint64 readIdAt(int row) const;
    // The row of the record with that ID, or -1.
    int rowOf(qint64 id) const;
    // Reads the row again when it is next shown (after the record was saved).
    void rowChanged(int row);
    // Takes the row of a deleted record out of the list.
    void removeListRow(int row);
    // Takes a deleted record out of the list, also from a sort still running.
    void removeRecord(qint64 id);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // How many pages of rows are held now (never more than CachedPages).
    int cachedPageCount() const { return int(pages_.size()); }

signals:
    // Every ID of the list has been read.
    void loaded();
    // The first rows of a list sorted off the window thread are known.
    void firstRowsRead();
    // No sort runs off the window thread any more.
    void sortsStopped();
    // A part of the list could not be read (its rows show empty cells, or
    // the list stops early); once until the list is set again.
    void readFailed(const QString& message);

private:
    struct Page {
        int first = 0;                 // the first row of the page
        std::vector<QStringList> rows; // the shown texts of each row
    };
    const Page& page(int pageIndex) const;
    Page readPage(int pageIndex) const;
    // Reads IDs until row is known or the time is up (0: no limit); false
    // when the list has come to its end.
    bool readIds(int row, qint64 budgetNs) const;
    void readSlice();
    void endLoading() const;
    void reportReadFailure(const DbError& error) const;
    void startSort(const BoundStatement& list);
    void cancelSorts();
    void takeFirstRows(int generation, std::vector<qint64> ids);
    void takeSorted(int generation, std::vector<qint64> ids, const QString& failure, bool stopped);
    void dropRemoved(std::vector<qint64>& ids) const;

    Database& db_;
    TreeListSource source_;
    int count_ = 0;                    // the rows of the list
    bool countKnown_ = false;
    mutable std::vector<qint64> ids_;  // the IDs read so far, in list order
    // While a filtered list is read in the order of the whole list: the IDs
    // (by index) of the records it keeps.
    mutable std::vector<bool> keep_;
    // Reads the IDs of the list while other statements read its rows.
    mutable std::unique_ptr<HeldCursor> loader_;
    QTimer sliceTimer_;
    mutable std::deque<Page> pages_; // most recently used first
    mutable Page unreadable_;        // what a page that cannot be read shows
    mutable QSqlQuery pageQuery_;
    mutable bool pageQueryReady_ = false;
    mutable bool failureReported_ = false;
    // The sort off the window thread.
    bool sorting_ = false;
    int generation_ = 0;                    // of the sort the list waits for
    int runningSorts_ = 0;
    std::vector<qint64> removedWhileSorting_;
    std::vector<QPointer<QObject>> sortJobs_;
};

} // namespace kolva
