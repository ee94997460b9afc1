#include "trees/treelist.h"

#include "platform/progress.h"
#include "store/database.h"
#include "store/dates.h"
#include "store/heldcursor.h"
#include "store/sortkeys.h"

#include <QElapsedTimer>
#include <QWidget>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>

namespace kolva {

namespace {

// The columns a page reads, after ID: the fields of the grid columns.
QString pageStatement()
{
    QStringList fields;
    for (const TreeGridColumn& column : treeGridColumns())
        fields << column.field;
    QStringList marks;
    for (int i = 0; i < TreeListModel::PageSize; ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("SELECT ID,%1 FROM _Archived_SurveyData WHERE ID IN (%2)")
        .arg(fields.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

QString shownCell(const TreeGridColumn& column, const QVariant& value)
{
    if (value.isNull())
        return {};
    if (column.field == QLatin1String("Date_Evaluated")) {
        const QDateTime when = fromDbDateTime(value);
        return when.isValid() ? shownDate(when.date()) : value.toString();
    }
    return value.toString();
}

// The ORDER BY clause of a sort by a grid column: the column's order, the
// street by its name and then by house number in walking order. Records of
// equal value follow the rest of the column's index (a species by survey
// date, say), so that the index gives the order as it stands.
QString columnOrderClause(const Database& db, int column, Qt::SortOrder order)
{
    const QString field = treeGridColumns().at(size_t(column)).field;
    QStringList keys;
    if (field == QLatin1String("StreetName"))
        keys << QStringLiteral("StreetName") << streetNumberKeys(db);
    else if (field == QLatin1String("StreetNum"))
        keys << streetNumberKeys(db);
    else if (field == QLatin1String("Tree_ID"))
        keys << field << QStringLiteral("Date_Evaluated");
    else if (field == QLatin1String("Date_Evaluated"))
        keys << field << QStringLiteral("Tree_ID");
    else if (field == QLatin1String("Species"))
        keys << field << QStringLiteral("Date_Evaluated");
    else if (field == QLatin1String("Surveyor"))
        keys << field << QStringLiteral("Date_Evaluated") << QStringLiteral("Tree_ID");
    else
        keys << field;
    for (QString& key : keys)
        key = orderKey(db, key, order == Qt::DescendingOrder);
    return QStringLiteral("ORDER BY ") + keys.join(QLatin1Char(','));
}

// The ORDER BY clause of keys, each ascending but those named "X DESC".
QString orderClause(const Database& db, const QStringList& keys)
{
    QStringList ordered;
    for (const QString& key : keys) {
        const bool descending = key.endsWith(QLatin1String(" DESC"));
        ordered << orderKey(db, descending ? key.chopped(5) : key, descending);
    }
    return QStringLiteral("ORDER BY ") + ordered.join(QLatin1Char(','));
}

// The WHERE clause of a source and its bound values. A search of names has
// two parts, the streets and the species: part 0 or 1 is the one alone, -1
// both.
BoundStatement whereClause(const TreeListSource& source, int part = -1)
{
    QStringList conditions;
    QVariantList values;
    if (!source.street.isEmpty()) {
        conditions << QStringLiteral("StreetName=?");
        values << source.street;
    }
    const TreeSearch& search = source.search;
    switch (search.kind) {
    case TreeSearch::Kind::None:
        break;
    case TreeSearch::Kind::TreeNumber:
        conditions << QStringLiteral("Tree_ID=?");
        values << search.treeNumber;
        break;
    case TreeSearch::Kind::Address:
        conditions << QStringLiteral("StreetName IN (SELECT Name FROM TreeSearchNames WHERE Kind='street') "
                                     "AND StreetNum=?");
        values << search.houseNumber;
        break;
    case TreeSearch::Kind::Names:
        if (part == 0)
            conditions << QStringLiteral("StreetName IN (SELECT Name FROM TreeSearchNames WHERE Kind='street')");
        else if (part == 1)
            conditions << QStringLiteral("Species IN (SELECT Name FROM TreeSearchNames WHERE Kind='species')");
        else
            conditions << QStringLiteral("(StreetName IN (SELECT Name FROM TreeSearchNames WHERE Kind='street') "
                                         "OR Species IN (SELECT Name FROM TreeSearchNames WHERE Kind='species'))");
        break;
    }
    if (conditions.isEmpty())
        return {};
    return {QStringLiteral("WHERE ") + conditions.join(QStringLiteral(" AND ")) + QLatin1Char(' '), values};
}

// True when the word of name that begins at at is a word's beginning.
bool beginsWordAt(const QString& name, qsizetype at)
{
    return at == 0 || !name.at(at - 1).isLetterOrNumber();
}

QStringList namesWithWordsBeginning(const QString& words, const QStringList& names)
{
    QStringList found;
    for (const QString& name : names) {
        for (qsizetype at = name.indexOf(words, 0, Qt::CaseInsensitive); at >= 0;
             at = name.indexOf(words, at + 1, Qt::CaseInsensitive)) {
            if (beginsWordAt(name, at)) {
                found << name;
                break;
            }
        }
    }
    return found;
}

} // namespace

QString allStreetsEntry()
{
    return QStringLiteral("-- ALL STREETS -- ");
}

QStringList sortOptionCaptions()
{
    return {
        QStringLiteral("&Tree ID + Survey Date"),      QStringLiteral("S&pecies + Survey Date"),
        QStringLiteral("Survey Date +Tree &ID"),       QStringLiteral("Survey D&ate + Species"),
        QStringLiteral("Risk Ratin&g (DESC)+Tree ID"), QStringLiteral("S&urveyor +Date +Tree ID"),
    };
}

QString sortOrderClause(const Database& db, int option)
{
    switch (option) {
    case 0: return orderClause(db, {QStringLiteral("Tree_ID"), QStringLiteral("Date_Evaluated")});
    case 1: return orderClause(db, {QStringLiteral("Species"), QStringLiteral("Date_Evaluated")});
    case 2: return orderClause(db, {QStringLiteral("Date_Evaluated"), QStringLiteral("Tree_ID")});
    case 3: return orderClause(db, {QStringLiteral("Date_Evaluated"), QStringLiteral("Species")});
    case 4: return orderClause(db, {QStringLiteral("Hazard_Rating DESC"), QStringLiteral("Tree_ID")});
    case 5: return orderClause(db, {QStringLiteral("Surveyor"), QStringLiteral("Date_Evaluated"), QStringLiteral("Tree_ID")});
    default: break;
    }
    // The order the editor opens with: by the number of the tree.
    return orderClause(db, {QStringLiteral("Tree_ID")});
}

TreeSearch parseTreeSearch(const QString& typed, const QStringList& streetNames, const QStringList& speciesNames)
{
    TreeSearch search;
    const QString text = typed.simplified();
    if (text.isEmpty())
        return search;
    static const QRegularExpression number(QStringLiteral(R"(^\d{1,10}$)"));
    // A house number, then the street: "12 ELM ST", "12 3RD ST".
    static const QRegularExpression address(QStringLiteral(R"(^(\d+\S*)\s+(\S.*)$)"));
    if (number.match(text).hasMatch()) {
        search.kind = TreeSearch::Kind::TreeNumber;
        search.treeNumber = text.toLongLong();
        return search;
    }
    if (const QRegularExpressionMatch m = address.match(text); m.hasMatch()) {
        search.kind = TreeSearch::Kind::Address;
        search.houseNumber = m.captured(1);
        search.streets = namesWithWordsBeginning(m.captured(2), streetNames);
        return search;
    }
    search.kind = TreeSearch::Kind::Names;
    search.streets = namesWithWordsBeginning(text, streetNames);
    search.species = namesWithWordsBeginning(text, speciesNames);
    return search;
}

BoundStatement treeListStatement(const Database& db, const TreeListSource& source)
{
    BoundStatement statement = whereClause(source);
    statement.sql = QStringLiteral("SELECT ID FROM _Archived_SurveyData ") + statement.sql;
    if (source.sortColumn >= 0 && source.sortColumn < int(treeGridColumns().size())) {
        statement.sql += columnOrderClause(db, source.sortColumn, source.sortOrder) + QStringLiteral(",ID");
        return statement;
    }
    switch (source.sortOption) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
        statement.sql += sortOrderClause(db, source.sortOption) + QStringLiteral(",ID");
        break;
    default:
        // Records of one tree number come in the order of the tree number
        // index: by date, then as added. The same statement as the first
        // option's, which the window's first activation then finds shown.
        statement.sql += sortOrderClause(db, 0) + QStringLiteral(",ID");
        break;
    }
    return statement;
}

BoundStatement treeFieldsStatement(const TreeListSource& source, const QString& fields)
{
    BoundStatement statement = whereClause(source);
    statement.sql = QStringLiteral("SELECT ") + fields + QStringLiteral(" FROM _Archived_SurveyData ") + statement.sql;
    return statement;
}

void fillTreeSearchNames(Database& db, const TreeSearch& search)
{
    if (search.kind != TreeSearch::Kind::Address && search.kind != TreeSearch::Kind::Names)
        return;
    db.exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS TreeSearchNames (Kind TEXT NOT NULL, Name TEXT NOT NULL)"));
    db.exec(QStringLiteral("DELETE FROM TreeSearchNames"));
    QSqlQuery insert = db.prepare(QStringLiteral("INSERT INTO TreeSearchNames (Kind,Name) VALUES (?,?)"));
    const auto add = [&insert](const char* kind, const QStringList& names) {
        for (const QString& name : names) {
            insert.bindValue(0, QString::fromLatin1(kind));
            insert.bindValue(1, name);
            Database::run(insert);
        }
    };
    add("street", search.streets);
    add("species", search.species);
    insert.finish();
}

BoundStatement treeCountStatement(const TreeListSource& source)
{
    BoundStatement statement = whereClause(source);
    statement.sql = QStringLiteral("SELECT COUNT(*) FROM _Archived_SurveyData ") + statement.sql;
    return statement;
}

const std::vector<TreeGridColumn>& treeGridColumns()
{
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    const Qt::Alignment centre = Qt::AlignHCenter | Qt::AlignVCenter;
    static const std::vector<TreeGridColumn> columns = {
        {QStringLiteral("Tree_ID"), QStringLiteral("Tree ID"), 850, left},
        {QStringLiteral("Date_Evaluated"), QStringLiteral("Date"), 1000, left},
        {QStringLiteral("Species"), QStringLiteral("Species"), 2000, left},
        {QStringLiteral("DBH"), QStringLiteral("DBH"), 500, centre},
        {QStringLiteral("Site"), QStringLiteral("Site"), 1200, centre},
        {QStringLiteral("Location"), QStringLiteral("Loc."), 1200, centre},
        {QStringLiteral("Hazard_Rating"), QStringLiteral("Risk"), 700, centre},
        {QStringLiteral("Surveyor"), QStringLiteral("Surveyor"), 1250, left},
        {QStringLiteral("StreetName"), QStringLiteral("Street Nsame"), 2300, left},
        {QStringLiteral("StreetNum"), QStringLiteral("Addr # "), 850, left},
    };
    return columns;
}

TreeListModel::TreeListModel(Database& db, QObject* parent) : QAbstractTableModel(parent), db_(db)
{
    sliceTimer_.setSingleShot(true);
    sliceTimer_.setInterval(0);
    connect(&sliceTimer_, &QTimer::timeout, this, &TreeListModel::readSlice);
}

TreeListModel::~TreeListModel()
{
    cancelSorts();
}

namespace {

// A filtered list of at most this many records is ordered by the engine,
// which looks up the sort keys of each; a longer one is read in the order of
// the whole list's index, keeping the records the filter found, so that no
// key is looked up at all.
constexpr int EngineOrderedLimit = 5000;
// The highest record ID the filter marks in memory (8 MiB of marks); a table
// of higher IDs lets the engine order every filtered list.
constexpr qint64 HighestMarkedId = qint64(64) * 1024 * 1024;

bool isFiltered(const TreeListSource& source)
{
    return !source.street.isEmpty() || source.search.kind != TreeSearch::Kind::None;
}

// True when an index gives the order of the source without sorting the table.
bool orderHasIndex(const TreeListSource& source)
{
    if (source.sortColumn < 0)
        return true;
    static const QStringList indexed = {QStringLiteral("Tree_ID"),       QStringLiteral("Date_Evaluated"),
                                        QStringLiteral("Species"),       QStringLiteral("Hazard_Rating"),
                                        QStringLiteral("Surveyor"),      QStringLiteral("StreetName")};
    return indexed.contains(treeGridColumns().at(size_t(source.sortColumn)).field);
}

} // namespace

std::vector<BoundStatement> treeMatchStatements(const TreeListSource& source)
{
    std::vector<BoundStatement> statements;
    // The two parts of a search of names are read one after the other: the
    // engine then needs no set of its own to drop the records both find.
    const std::vector<int> parts =
        source.search.kind == TreeSearch::Kind::Names ? std::vector<int>{0, 1} : std::vector<int>{-1};
    for (int part : parts) {
        BoundStatement statement = whereClause(source, part);
        statement.sql = QStringLiteral("SELECT ID FROM _Archived_SurveyData ") + statement.sql;
        statements.push_back(statement);
    }
    return statements;
}

namespace {
// The rows that fit the grid at once are read before the list shows.
constexpr int FirstRows = 2 * TreeListModel::PageSize;
} // namespace

void TreeListModel::setSource(const TreeListSource& source, bool recount)
{
    sliceTimer_.stop();
    loader_.reset();
    cancelSorts();
    failureReported_ = false;
    pageQuery_ = QSqlQuery();
    pageQueryReady_ = false;

    fillTreeSearchNames(db_, source.search);

    // How many records the list holds, and with a filter which ones.
    int rows = 0;
    std::vector<bool> keep;
    TreeListSource ordered = source;
    if (!isFiltered(source)) {
        // The same records in another order are as many as before.
        const bool sameRecords = !recount && !isFiltered(source_) && countKnown_;
        rows = sameRecords ? count_ : db_.scalar(treeCountStatement(source).sql).toInt();
    } else {
        // The records the filter finds, each once, by ID (a bit each).
        const qint64 highest = std::clamp<qint64>(
            db_.scalar(QStringLiteral("SELECT MAX(ID) FROM _Archived_SurveyData")).toLongLong(), 0, HighestMarkedId);
        keep.assign(size_t(highest + 1), false);
        for (const BoundStatement& match : treeMatchStatements(source)) {
            QSqlQuery query = db_.query(match.sql, match.values);
            while (query.next()) {
                const qint64 id = query.value(0).toLongLong();
                if (id < 0 || id > highest) {
                    ++rows; // counted; such a list is ordered by the engine
                } else if (!keep[size_t(id)]) {
                    keep[size_t(id)] = true;
                    ++rows;
                }
            }
        }
        if (rows > EngineOrderedLimit && orderHasIndex(source) && highest < HighestMarkedId) {
            ordered.street.clear();
            ordered.search = {};
        } else {
            keep.clear();
        }
    }
    const BoundStatement list = treeListStatement(db_, ordered);
    // An order no index gives is sorted off the window thread. (A search of
    // names reads a table of this connection's own and stays here.)
    const bool ownNames = source.search.kind == TreeSearch::Kind::Address || source.search.kind == TreeSearch::Kind::Names;
    if (!orderHasIndex(source) && rows > SortedInBackgroundFrom && !ownNames) {
        beginResetModel();
        source_ = source;
        count_ = rows;
        countKnown_ = true;
        ids_.clear();
        keep_.clear();
        pages_.clear();
        sorting_ = true;
        removedWhileSorting_.clear();
        endResetModel();
        startSort(list);
        return;
    }
    auto loader = std::make_unique<HeldCursor>(db_, list.sql, list.values,
                                                ownNames ? HeldCursor::Reads::ConnectionsOwnTables
                                                         : HeldCursor::Reads::SharedTables);
    std::vector<qint64> ids;
    ids.reserve(size_t(std::min(rows, FirstRows)));
    bool more = true;
    while (int(ids.size()) < FirstRows) {
        if (!loader->next()) {
            more = false;
            break;
        }
        const qint64 id = loader->value(0).toLongLong();
        if (keep.empty() || (id >= 0 && id < qint64(keep.size()) && keep[size_t(id)]))
            ids.push_back(id);
    }

    beginResetModel();
    source_ = source;
    count_ = std::max(rows, int(ids.size()));
    countKnown_ = true;
    ids_ = std::move(ids);
    keep_ = std::move(keep);
    pages_.clear();
    if (more && int(ids_.size()) < count_) {
        ids_.reserve(size_t(count_));
        loader_ = std::move(loader);
    } else {
        loader->finish();
        count_ = int(ids_.size());
    }
    endResetModel();
    if (loader_)
        sliceTimer_.start();
    else
        emit loaded();
}

void TreeListModel::startSort(const BoundStatement& list)
{
    const int generation = ++generation_;
    ++runningSorts_;
    const QString path = db_.path();
    const int expected = count_;
    QPointer<TreeListModel> self(this);
    // Lives on the window thread until the sort has ended: what the worker
    // hands over arrives through it.
    auto* relay = new QObject;
    auto sorted = std::make_shared<std::vector<qint64>>();
    // Set once every row has been read: a sort stopped before (the program
    // ending, the window closing) gives no list.
    auto whole = std::make_shared<std::atomic<bool>>(false);
    BackgroundJob* job = BackgroundJob::start(
        qobject_cast<QWidget*>(QObject::parent()), QStringLiteral("Sorting the list"),
        [path, list, expected, relay, self, generation, sorted, whole](Progress& progress) {
            // A statement stopped because the sort was superseded or its
            // window closed ends the sort, not as a failure.
            try {
                auto db = Database::open(path);
                // Stopped within moments when superseded or when the window closes.
                const StatementStop stop(*db, [&progress] { return progress.cancelRequested(); });
                {
                    // The first rows, to show at once: the engine keeps only the
                    // smallest while it reads the table.
                    QVariantList values = list.values;
                    values << FirstRows;
                    QSqlQuery first = db->query(list.sql + QStringLiteral(" LIMIT ?"), values);
                    std::vector<qint64> ids;
                    ids.reserve(FirstRows);
                    while (first.next())
                        ids.push_back(first.value(0).toLongLong());
                    first.finish();
                    if (progress.cancelRequested())
                        return;
                    QMetaObject::invokeMethod(
                        relay,
                        [self, generation, ids = std::move(ids)]() mutable {
                            if (self)
                                self->takeFirstRows(generation, std::move(ids));
                        },
                        Qt::QueuedConnection);
                }
                QSqlQuery all = db->query(list.sql, list.values);
                sorted->reserve(size_t(std::max(0, expected)));
                while (all.next()) {
                    sorted->push_back(all.value(0).toLongLong());
                    if (sorted->size() % 4096 == 0 && progress.cancelRequested())
                        return;
                }
                all.finish();
            } catch (const DbError&) {
                if (progress.cancelRequested())
                    return;
                throw;
            }
            *whole = !progress.cancelRequested();
        },
        [self, relay, generation, sorted, whole](std::exception_ptr error) {
            relay->deleteLater();
            if (!self)
                return;
            // Said by the list in its own place.
            const QString failure = error ? failureWords(error).text : QString();
            if (failure.isEmpty() && !*whole)
                sorted->clear();
            self->takeSorted(generation, std::move(*sorted), failure, !*whole);
        },
        INT_MAX);
    sortJobs_.push_back(job);
}

void TreeListModel::cancelSorts()
{
    sorting_ = false;
    ++generation_;
    for (const QPointer<QObject>& job : sortJobs_) {
        if (auto* running = qobject_cast<BackgroundJob*>(job.data()))
            running->requestCancel();
    }
}

void TreeListModel::stopSorting()
{
    if (!sorting_) {
        cancelSorts();
        return;
    }
    // The list keeps the rows it knows.
    cancelSorts();
    beginResetModel();
    count_ = int(ids_.size());
    countKnown_ = false;
    pages_.clear();
    endResetModel();
}

void TreeListModel::dropRemoved(std::vector<qint64>& ids) const
{
    if (removedWhileSorting_.empty())
        return;
    ids.erase(std::remove_if(ids.begin(), ids.end(),
                             [this](qint64 id) {
                                 return std::find(removedWhileSorting_.begin(), removedWhileSorting_.end(), id) !=
                                        removedWhileSorting_.end();
                             }),
              ids.end());
}

void TreeListModel::takeFirstRows(int generation, std::vector<qint64> ids)
{
    if (generation != generation_ || !sorting_ || !ids_.empty())
        return;
    dropRemoved(ids);
    ids.resize(std::min(ids.size(), size_t(count_)));
    if (ids.empty())
        return;
    ids_ = std::move(ids);
    pages_.clear();
    emit dataChanged(index(0, 0), index(int(ids_.size()) - 1, columnCount() - 1));
    emit firstRowsRead();
}

void TreeListModel::takeSorted(int generation, std::vector<qint64> ids, const QString& failure, bool stopped)
{
    sortJobs_.erase(std::remove_if(sortJobs_.begin(), sortJobs_.end(), [](const QPointer<QObject>& j) { return !j || !qobject_cast<BackgroundJob*>(j.data())->isRunning(); }),
                    sortJobs_.end());
    --runningSorts_;
    if (generation == generation_ && sorting_) {
        sorting_ = false;
        if (!failure.isEmpty() || stopped) {
            // The list shows the rows it knows, and says why not more when
            // the database failed.
            if (!failure.isEmpty())
                reportReadFailure(DbError(failure));
            ids = ids_;
            countKnown_ = false;
        }
        dropRemoved(ids);
        removedWhileSorting_.clear();
        pages_.clear();
        if (int(ids.size()) == count_) {
            ids_ = std::move(ids);
            if (count_ > 0)
                emit dataChanged(index(0, 0), index(count_ - 1, columnCount() - 1));
        } else {
            // Another program added or deleted records meanwhile.
            beginResetModel();
            ids_ = std::move(ids);
            count_ = int(ids_.size());
            endResetModel();
        }
        emit loaded();
    }
    if (runningSorts_ == 0)
        emit sortsStopped();
}

void TreeListModel::removeRecord(qint64 id)
{
    if (sorting_)
        removedWhileSorting_.push_back(id);
    const int row = rowOf(id);
    if (row >= 0) {
        removeListRow(row);
    } else if (sorting_ && count_ > int(ids_.size())) {
        // Its row is not known yet: the list is one row shorter.
        beginRemoveRows({}, count_ - 1, count_ - 1);
        --count_;
        pages_.clear();
        endRemoveRows();
    }
}

void TreeListModel::clear()
{
    sliceTimer_.stop();
    loader_.reset();
    cancelSorts();
    failureReported_ = false;
    beginResetModel();
    count_ = 0;
    countKnown_ = false;
    keep_.clear();
    ids_.clear();
    ids_.shrink_to_fit();
    pages_.clear();
    endResetModel();
}

bool TreeListModel::readIds(int row, qint64 budgetNs) const
{
    if (!loader_)
        return false;
    QElapsedTimer timer;
    timer.start();
    int n = 0;
    while (int(ids_.size()) <= row) {
        if (!loader_->next()) {
            endLoading();
            return false;
        }
        const qint64 id = loader_->value(0).toLongLong();
        if (keep_.empty() || (id >= 0 && id < qint64(keep_.size()) && keep_[size_t(id)]))
            ids_.push_back(id);
        if (budgetNs > 0 && ++n % 1024 == 0 && timer.nsecsElapsed() > budgetNs)
            return true;
    }
    // Every record of the list has been read: the rest of the index is not.
    if (int(ids_.size()) >= count_ && !keep_.empty())
        endLoading();
    return true;
}

void TreeListModel::endLoading() const
{
    loader_->finish();
    loader_.reset();
    keep_.clear();
    keep_.shrink_to_fit();
    // The list changed between its count and its reading (another program
    // wrote the database): the row count follows what was read.
    if (int(ids_.size()) != count_) {
        QMetaObject::invokeMethod(
            const_cast<TreeListModel*>(this),
            [this] {
                auto* self = const_cast<TreeListModel*>(this);
                if (self->loader_ || int(ids_.size()) == count_)
                    return;
                self->beginResetModel();
                self->count_ = int(ids_.size());
                pages_.clear();
                self->endResetModel();
            },
            Qt::QueuedConnection);
    }
    QMetaObject::invokeMethod(const_cast<TreeListModel*>(this), &TreeListModel::loaded, Qt::QueuedConnection);
}

void TreeListModel::readSlice()
{
    if (!loader_)
        return;
    try {
        // A slice of the work at a time, so that the window answers the user.
        if (readIds(count_, 15'000'000))
            sliceTimer_.start();
    } catch (const DbError& error) {
        loader_.reset();
        reportReadFailure(error);
    }
}

void TreeListModel::finishLoading()
{
    sliceTimer_.stop();
    try {
        readIds(count_, 0);
    } catch (const DbError& error) {
        loader_.reset();
        reportReadFailure(error);
    }
}

void TreeListModel::reportReadFailure(const DbError& error) const
{
    if (failureReported_)
        return;
    failureReported_ = true;
    // Each engine says a lock held too long in words of its own.
    const QString message =
        isDatabaseLocked(error)
            ? QStringLiteral("The database is in use by another program, which keeps it locked.\n\n%1").arg(error.message())
            : error.message();
    // Said after the painting or the step that met it.
    QMetaObject::invokeMethod(
        const_cast<TreeListModel*>(this),
        [self = const_cast<TreeListModel*>(this), message] { emit self->readFailed(message); }, Qt::QueuedConnection);
}

qint64 TreeListModel::idAt(int row) const
{
    try {
        return readIdAt(row);
    } catch (const DbError& error) {
        reportReadFailure(error);
        return -1;
    }
}

qint64 TreeListModel::readIdAt(int row) const
{
    if (row < 0 || row >= count_)
        return -1;
    if (row >= int(ids_.size()))
        readIds(row, 0);
    return row < int(ids_.size()) ? ids_[size_t(row)] : -1;
}

int TreeListModel::rowOf(qint64 id) const
{
    const auto at = std::find(ids_.begin(), ids_.end(), id);
    return at == ids_.end() ? -1 : int(at - ids_.begin());
}

void TreeListModel::rowChanged(int row)
{
    if (row < 0 || row >= count_)
        return;
    const int first = row / PageSize * PageSize;
    pages_.erase(std::remove_if(pages_.begin(), pages_.end(), [first](const Page& p) { return p.first == first; }),
                 pages_.end());
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TreeListModel::removeListRow(int row)
{
    if (row < 0 || row >= count_)
        return;
    finishLoading();
    beginRemoveRows({}, row, row);
    if (row < int(ids_.size()))
        ids_.erase(ids_.begin() + row);
    --count_;
    pages_.clear();
    endRemoveRows();
}

int TreeListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count_;
}

int TreeListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(treeGridColumns().size());
}

TreeListModel::Page TreeListModel::readPage(int pageIndex) const
{
    Page result;
    result.first = pageIndex * PageSize;
    const int last = std::min(count_, result.first + PageSize) - 1;
    if (last >= int(ids_.size()))
        readIds(last, 0);
    const int count = std::max(0, std::min<int>(PageSize, int(ids_.size()) - result.first));
    if (!pageQueryReady_) {
        pageQuery_ = db_.prepare(pageStatement());
        pageQueryReady_ = true;
    }
    for (int i = 0; i < PageSize; ++i)
        pageQuery_.bindValue(i, i < count ? ids_[size_t(result.first + i)] : qint64(-1));
    Database::run(pageQuery_);
    const auto& columns = treeGridColumns();
    QHash<qint64, QStringList> byId;
    byId.reserve(count);
    while (pageQuery_.next()) {
        QStringList cells;
        cells.reserve(int(columns.size()));
        for (size_t c = 0; c < columns.size(); ++c)
            cells << shownCell(columns[c], pageQuery_.value(int(c) + 1));
        byId.insert(pageQuery_.value(0).toLongLong(), cells);
    }
    pageQuery_.finish();
    result.rows.reserve(size_t(std::min(PageSize, count_ - result.first)));
    for (int i = 0; i < std::min(PageSize, count_ - result.first); ++i)
        result.rows.push_back(i < count ? byId.value(ids_[size_t(result.first + i)]) : QStringList());
    return result;
}

const TreeListModel::Page& TreeListModel::page(int pageIndex) const
{
    const int first = pageIndex * PageSize;
    for (auto it = pages_.begin(); it != pages_.end(); ++it) {
        if (it->first == first) {
            if (it != pages_.begin()) {
                Page found = std::move(*it);
                pages_.erase(it);
                pages_.push_front(std::move(found));
            }
            return pages_.front();
        }
    }
    Page fresh;
    try {
        fresh = readPage(pageIndex);
    } catch (const DbError& error) {
        reportReadFailure(error);
        // A page that cannot be read shows empty cells; it is tried again
        // when it is next shown.
        unreadable_.first = first;
        unreadable_.rows.assign(size_t(std::min<int>(PageSize, count_ - first)), QStringList());
        return unreadable_;
    }
    pages_.push_front(std::move(fresh));
    while (int(pages_.size()) > CachedPages)
        pages_.pop_back();
    return pages_.front();
}

QVariant TreeListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count_ || index.column() >= columnCount())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(treeGridColumns()[size_t(index.column())].alignment);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
        return {};
    const Page& p = page(index.row() / PageSize);
    const size_t at = size_t(index.row() - p.first);
    if (at >= p.rows.size())
        return QString();
    const QStringList& cells = p.rows[at];
    return index.column() < cells.size() ? cells.at(index.column()) : QString();
}

QVariant TreeListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columnCount())
        return treeGridColumns()[size_t(section)].caption;
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return section + 1;
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace kolva
