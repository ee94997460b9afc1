#include "trees/treelist.h"

#include "store/database.h"
#include "store/dates.h"

#include <algorithm>

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
        return when.isValid() ? when.toString(QStringLiteral("MM/dd/yyyy")) : value.toString();
    }
    return value.toString();
}

} // namespace

QString allStreetsEntry()
{
    return QStringLiteral("-- ALL STREETS -- ");
}

QStringList sortOptionCaptions()
{
    return {
        QStringLiteral("Tree ID + Survey Date"),      QStringLiteral("Species + Survey Date"),
        QStringLiteral("Survey Date +Tree ID"),       QStringLiteral("Survey Date + Species"),
        QStringLiteral("Risk Rating (DESC)+Tree ID"), QStringLiteral("Surveyor +Date +Tree ID"),
    };
}

QString sortOrderClause(int option)
{
    switch (option) {
    case 0: return QStringLiteral("ORDER BY Tree_ID,Date_Evaluated");
    case 1: return QStringLiteral("ORDER BY Species,Date_Evaluated");
    case 2: return QStringLiteral("ORDER BY Date_Evaluated,Tree_ID");
    case 3: return QStringLiteral("ORDER BY Date_Evaluated,Species");
    case 4: return QStringLiteral("ORDER BY Hazard_Rating DESC,Tree_ID");
    case 5: return QStringLiteral("ORDER BY Surveyor,Date_Evaluated,Tree_ID");
    default: break;
    }
    // The order the editor opens with: by the number of the tree.
    return QStringLiteral("ORDER BY Tree_ID");
}

QString treeListStatement(const TreeListSource& source)
{
    QString sql = QStringLiteral("SELECT ID FROM _Archived_SurveyData ");
    if (!source.street.isEmpty())
        sql += QStringLiteral("WHERE StreetName=? ");
    switch (source.sortOption) {
    case 3:
        // The same order; the "+" lets the engine sort the covering species
        // index instead of looking up the species of every record in date
        // order, which is four times slower on a large table.
        return sql + QStringLiteral("ORDER BY +Date_Evaluated,Species,ID");
    case 0:
    case 1:
    case 2:
    case 4:
    case 5:
        return sql + sortOrderClause(source.sortOption) + QStringLiteral(",ID");
    default:
        // Records of one tree number come in the order of the tree number
        // index: by date, then as added.
        return sql + QStringLiteral("ORDER BY Tree_ID,Date_Evaluated,ID");
    }
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

TreeListModel::TreeListModel(Database& db, QObject* parent) : QAbstractTableModel(parent), db_(db) {}

TreeListModel::~TreeListModel() = default;

void TreeListModel::setSource(const TreeListSource& source)
{
    std::vector<qint64> ids;
    {
        QSqlQuery query = db_.query(treeListStatement(source),
                                    source.street.isEmpty() ? QVariantList{} : QVariantList{source.street});
        ids.reserve(4096);
        while (query.next())
            ids.push_back(query.value(0).toLongLong());
    }
    beginResetModel();
    source_ = source;
    ids_ = std::move(ids);
    ids_.shrink_to_fit();
    pages_.clear();
    endResetModel();
}

void TreeListModel::clear()
{
    beginResetModel();
    ids_.clear();
    ids_.shrink_to_fit();
    pages_.clear();
    endResetModel();
}

qint64 TreeListModel::idAt(int row) const
{
    return row >= 0 && row < int(ids_.size()) ? ids_[size_t(row)] : -1;
}

int TreeListModel::rowOf(qint64 id) const
{
    const auto at = std::find(ids_.begin(), ids_.end(), id);
    return at == ids_.end() ? -1 : int(at - ids_.begin());
}

void TreeListModel::rowChanged(int row)
{
    if (row < 0 || row >= int(ids_.size()))
        return;
    const int first = row / PageSize * PageSize;
    pages_.erase(std::remove_if(pages_.begin(), pages_.end(), [first](const Page& p) { return p.first == first; }),
                 pages_.end());
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int TreeListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(ids_.size());
}

int TreeListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(treeGridColumns().size());
}

TreeListModel::Page TreeListModel::readPage(int pageIndex) const
{
    Page result;
    result.first = pageIndex * PageSize;
    const int count = std::min<int>(PageSize, int(ids_.size()) - result.first);
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
    result.rows.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        result.rows.push_back(byId.value(ids_[size_t(result.first + i)]));
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
    } catch (const DbError&) {
        // A page that cannot be read shows empty cells; it is tried again
        // when it is next shown.
        unreadable_.first = first;
        unreadable_.rows.assign(size_t(std::min<int>(PageSize, int(ids_.size()) - first)), QStringList());
        return unreadable_;
    }
    pages_.push_front(std::move(fresh));
    while (int(pages_.size()) > CachedPages)
        pages_.pop_back();
    return pages_.front();
}

QVariant TreeListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(ids_.size()) || index.column() >= columnCount())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(treeGridColumns()[size_t(index.column())].alignment);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
        return {};
    const Page& p = page(index.row() / PageSize);
    const QStringList& cells = p.rows[size_t(index.row() - p.first)];
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
