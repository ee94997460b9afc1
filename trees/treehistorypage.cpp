#include "trees/treehistorypage.h"

#include "store/database.h"
#include "store/dates.h"
#include "store/surveyhistory.h"
#include "trees/treerecord.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

namespace kolva {

namespace {

// The label of a field in the history: the name the window gives it.
QString fieldLabel(const QString& field)
{
    const TreeColumn* column = findTreeColumn(field);
    return column ? column->label : field;
}

QString historyValue(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

} // namespace

// ---------------------------------------------------------------- the model

QStringList TreeHistoryModel::recordTitles()
{
    return {QStringLiteral("When"), QStringLiteral("By"), QStringLiteral("Field"), QStringLiteral("Old Value"),
            QStringLiteral("New Value")};
}

QStringList TreeHistoryModel::deletedTitles()
{
    return {QStringLiteral("Deleted"), QStringLiteral("By"), QStringLiteral("Record")};
}

void TreeHistoryModel::readRecordHistory(Database& db, qint64 surveyId)
{
    std::vector<Entry> entries;
    for (const HistoryEntry& e : readSurveyHistory(db, surveyId)) {
        const bool changed = e.action == QLatin1String("changed");
        const QString field = changed ? fieldLabel(e.field) : QStringLiteral("(%1)").arg(e.action);
        const QString oldValue = historyValue(e.oldValue);
        const QString newValue = historyValue(e.newValue);
        entries.push_back({{shownDateTime(e.changedAt), e.changedBy, field, oldValue, newValue},
                           changed ? QStringLiteral("%1\n\nOld value:\n%2\n\nNew value:\n%3").arg(field, oldValue, newValue)
                                   : field + QLatin1Char('\n') + oldValue});
    }
    setEntries(recordTitles(), std::move(entries));
}

void TreeHistoryModel::readDeletedRecords(Database& db)
{
    std::vector<Entry> entries;
    for (const HistoryEntry& e : kolva::readDeletedRecords(db)) {
        const QString record = historyValue(e.oldValue);
        entries.push_back({{shownDateTime(e.changedAt), e.changedBy, deletedRecordSummary(record)}, record});
    }
    setEntries(deletedTitles(), std::move(entries));
}

void TreeHistoryModel::clear(bool deleted)
{
    setEntries(deleted ? deletedTitles() : recordTitles(), {});
}

void TreeHistoryModel::setEntries(QStringList titles, std::vector<Entry> entries)
{
    beginResetModel();
    titles_ = std::move(titles);
    entries_ = std::move(entries);
    endResetModel();
}

QString TreeHistoryModel::detail(int row) const
{
    return row >= 0 && row < rowCount() ? entries_[size_t(row)].detail : QString();
}

int TreeHistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(entries_.size());
}

int TreeHistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(titles_.size());
}

QVariant TreeHistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole)
        return {};
    const QStringList& cells = entries_[size_t(index.row())].cells;
    return index.column() < cells.size() ? cells.at(index.column()) : QString();
}

QVariant TreeHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= titles_.size())
        return {};
    return titles_.at(section);
}

// ---------------------------------------------------------------- the page

TreeHistoryPage::TreeHistoryPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pageHistory"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 6, 8, 6);
    column->setSpacing(4);
    chkDeletedRecords_ = new QCheckBox(QStringLiteral("Show deleted rec&ords instead"), this);
    chkDeletedRecords_->setObjectName(QStringLiteral("chkDeletedRecords"));
    connect(chkDeletedRecords_, &QCheckBox::toggled, this, &TreeHistoryPage::choiceChanged);
    column->addWidget(chkDeletedRecords_);
    auto* split = new QSplitter(Qt::Horizontal, this);
    model_ = new TreeHistoryModel(this);
    lstHistory_ = new QTreeView(split);
    lstHistory_->setObjectName(QStringLiteral("lstHistory"));
    lstHistory_->setAccessibleName(QStringLiteral("History of the record"));
    lstHistory_->setRootIsDecorated(false);
    lstHistory_->setUniformRowHeights(true);
    lstHistory_->setAlternatingRowColors(true);
    lstHistory_->setModel(model_);
    txtHistoryDetail_ = new QPlainTextEdit(split);
    txtHistoryDetail_->setObjectName(QStringLiteral("txtHistoryDetail"));
    txtHistoryDetail_->setAccessibleName(QStringLiteral("The chosen entry of the history"));
    txtHistoryDetail_->setReadOnly(true);
    txtHistoryDetail_->setTabChangesFocus(true);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    column->addWidget(split, 1);
    connect(lstHistory_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { txtHistoryDetail_->setPlainText(model_->detail(current.row())); });
}

void TreeHistoryPage::showHistory(Database& db, qint64 surveyId)
{
    const bool deleted = chkDeletedRecords_->isChecked();
    QString failure;
    try {
        if (deleted)
            model_->readDeletedRecords(db);
        else if (surveyId >= 0)
            model_->readRecordHistory(db, surveyId);
        else
            model_->clear();
    } catch (const DbError& error) {
        model_->clear(deleted);
        failure = QStringLiteral("The history could not be read: %1").arg(error.message());
    }
    txtHistoryDetail_->setPlainText(failure);
    for (int c = 0; c < model_->columnCount(); ++c)
        lstHistory_->resizeColumnToContents(c);
    // The latest entry is chosen, so that its whole text shows beside the list.
    if (const int count = model_->rowCount(); count > 0)
        lstHistory_->setCurrentIndex(model_->index(deleted ? 0 : count - 1, 0));
}

} // namespace kolva
