#include "trees/treelistpage.h"

#include "platform/controls.h"
#include "platform/twips.h"
#include "trees/recordnavigator.h"
#include "trees/treelist.h"
#include "trees/treerecord.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

namespace kolva {

namespace {

// How long the search waits for the next key before it narrows the list.
constexpr int SearchDelayMs = 300;

} // namespace

TreeListPage::TreeListPage(TreeListModel* model, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pageTreeList"));

    // The search, above the grid.
    frameSearch_ = new QWidget(this);
    frameSearch_->setObjectName(QStringLiteral("frameSearch"));
    auto* searchLayout = new QHBoxLayout(frameSearch_);
    searchLayout->setContentsMargins(0, 0, 0, 0);
    auto* lblSearch = makeLabel(QStringLiteral("lblSearch"), QStringLiteral("Searc&h"), frameSearch_);
    txtSearch_ = makeTextBox(QStringLiteral("txtSearch"), QStringLiteral("Search"), frameSearch_);
    txtSearch_->setPlaceholderText(QStringLiteral("Tree ID, address (12 ELM ST) or species"));
    txtSearch_->setToolTip(QStringLiteral("Type a tree number, a house number and street, or a species; the list "
                                          "narrows to the trees found"));
    txtSearch_->setClearButtonEnabled(true);
    for (QToolButton* clear : txtSearch_->findChildren<QToolButton*>())
        clear->setAccessibleName(QStringLiteral("Clear the search"));
    lblSearch->setBuddy(txtSearch_);
    searchLayout->addWidget(lblSearch);
    searchLayout->addWidget(txtSearch_, 1);
    searchTimer_ = new QTimer(this);
    searchTimer_->setSingleShot(true);
    searchTimer_->setInterval(SearchDelayMs);
    connect(searchTimer_, &QTimer::timeout, this, &TreeListPage::searchWanted);
    connect(txtSearch_, &QLineEdit::textEdited, searchTimer_, qOverload<>(&QTimer::start));
    connect(txtSearch_, &QLineEdit::returnPressed, this, [this] {
        searchTimer_->stop();
        emit searchWanted();
    });
    // The clear button empties the box without an edit of the user's keys.
    connect(txtSearch_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            emit searchEmptied();
    });

    DBGrid1_ = new QTableView(this);
    DBGrid1_->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1_->setAccessibleName(QStringLiteral("Tree List"));
    DBGrid1_->setModel(model);
    DBGrid1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1_->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the grid for the next control.
    DBGrid1_->setTabKeyNavigation(false);
    DBGrid1_->setWordWrap(false);
    DBGrid1_->setAlternatingRowColors(true);
    DBGrid1_->verticalHeader()->setVisible(false);
    DBGrid1_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1_->verticalHeader()->setDefaultSectionSize(DBGrid1_->fontMetrics().height() + 6);
    QHeaderView* header = DBGrid1_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setHighlightSections(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setToolTip(QStringLiteral("Click a column's title to sort the list by it; click again to reverse"));
    connect(header, &QHeaderView::sectionClicked, this, &TreeListPage::titleClicked);
    connect(header, &QHeaderView::sectionResized, this, &TreeListPage::columnResized);
    const auto& columns = treeGridColumns();
    for (size_t c = 0; c < columns.size(); ++c)
        DBGrid1_->setColumnWidth(int(c), twipsToPixels(columns[c].widthTwips));
    connect(DBGrid1_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { emit rowChanged(current.isValid() ? current.row() : -1); });
    connect(DBGrid1_, &QAbstractItemView::activated, this, &TreeListPage::rowOpened);
    connect(DBGrid1_, &QAbstractItemView::doubleClicked, this, &TreeListPage::rowOpened);

    frameGridBottom_ = new QFrame(this);
    frameGridBottom_->setObjectName(QStringLiteral("frameGridBottom"));
    auto* row = new QHBoxLayout(frameGridBottom_);
    row->setContentsMargins(0, 0, 0, 0);
    Data1_ = new RecordNavigator(QStringLiteral("Select a Tree"), QStringLiteral("Go to First, Previous, Next or Last Entry"),
                                 frameGridBottom_);
    Data1_->setObjectName(QStringLiteral("Data1"));
    Data1_->setMinimumWidth(twipsToPixels(4200));
    cmdRefresh_ = makeButton(QStringLiteral("cmdRefresh"), QStringLiteral("&Refresh"), frameGridBottom_);
    auto* Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("Entries on File "), frameGridBottom_);
    lblNumTrees_ = makeLabel(QStringLiteral("lblNumTrees"), QStringLiteral("0"), frameGridBottom_);
    lblNumTrees_->setMinimumWidth(twipsToPixels(900));
    QFont bold = lblNumTrees_->font();
    bold.setBold(true);
    lblNumTrees_->setFont(bold);
    setEntryCount(0);
    row->addWidget(Data1_);
    row->addSpacing(12);
    row->addWidget(cmdRefresh_);
    row->addStretch(1);
    row->addWidget(Label2);
    row->addWidget(lblNumTrees_);
}

void TreeListPage::startSearchDelay()
{
    searchTimer_->start();
}

void TreeListPage::stopSearchDelay()
{
    searchTimer_->stop();
}

void TreeListPage::setEntryCount(int count)
{
    lblNumTrees_->setText(formatEntryCount(count));
    // A screen reader reads the count, not only its caption.
    lblNumTrees_->setAccessibleName(QStringLiteral("Entries on File: %1").arg(lblNumTrees_->text()));
}

void TreeListPage::showSortColumn(int column, Qt::SortOrder order)
{
    QHeaderView* header = DBGrid1_->horizontalHeader();
    QSignalBlocker block(header);
    header->setSortIndicatorShown(column >= 0);
    header->setSortIndicator(column, order);
}

int TreeListPage::fitGridColumns(const QComboBox* species, const QComboBox* surveyors, const QComboBox* streets)
{
    const QFontMetrics text = DBGrid1_->fontMetrics();
    const QFontMetrics title(DBGrid1_->horizontalHeader()->font());
    const int cellPad = 10;
    const auto longest = [&text](const QComboBox* list, const QString& floor) {
        int width = text.horizontalAdvance(floor);
        for (int i = 0; i < list->count(); ++i)
            width = std::max(width, text.horizontalAdvance(list->itemText(i)));
        return width;
    };
    const auto& columns = treeGridColumns();
    std::vector<int> widths(columns.size());
    std::vector<int> least(columns.size());
    for (size_t c = 0; c < columns.size(); ++c) {
        const QString& field = columns[c].field;
        int content = 0;
        if (field == QLatin1String("Tree_ID"))
            content = text.horizontalAdvance(QStringLiteral("0000000"));
        else if (field == QLatin1String("Date_Evaluated"))
            content = text.horizontalAdvance(QStringLiteral("00/00/0000"));
        else if (field == QLatin1String("Species"))
            content = longest(species, QStringLiteral("TICO-LITTLELEAF LINDEN"));
        else if (field == QLatin1String("DBH"))
            content = text.horizontalAdvance(QStringLiteral("000"));
        else if (field == QLatin1String("Site"))
            content = text.horizontalAdvance(QStringLiteral("10 FT LAWN"));
        else if (field == QLatin1String("Location"))
            content = text.horizontalAdvance(QStringLiteral("Median"));
        else if (field == QLatin1String("Hazard_Rating"))
            content = text.horizontalAdvance(QStringLiteral("00"));
        else if (field == QLatin1String("Surveyor"))
            content = longest(surveyors, QStringLiteral("J SMITH"));
        else if (field == QLatin1String("StreetName"))
            content = longest(streets, QStringLiteral("WASHINGTON AVE"));
        else if (field == QLatin1String("StreetNum"))
            content = text.horizontalAdvance(QStringLiteral("00000"));
        least[c] = title.horizontalAdvance(columns[c].caption.trimmed()) + cellPad;
        widths[c] = std::max(least[c], content + cellPad);
    }
    const int room = DBGrid1_->width() - 2 * DBGrid1_->frameWidth() -
                     DBGrid1_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) - 2;
    int total = 0;
    for (int w : widths)
        total += w;
    // Too wide: the site, the location and the surveyor give up width first.
    for (const char* field : {"Site", "Location", "Surveyor", "Tree_ID", "StreetNum"}) {
        for (size_t c = 0; c < columns.size() && total > room; ++c) {
            if (columns[c].field == QLatin1String(field)) {
                const int give = std::min(total - room, widths[c] - least[c]);
                widths[c] -= give;
                total -= give;
            }
        }
    }
    // Room to spare goes to the street and the species.
    if (total < room) {
        const int spare = room - total;
        for (size_t c = 0; c < columns.size(); ++c) {
            if (columns[c].field == QLatin1String("StreetName"))
                widths[c] += spare - spare / 2;
            else if (columns[c].field == QLatin1String("Species"))
                widths[c] += spare / 2;
        }
    }
    for (size_t c = 0; c < columns.size(); ++c)
        DBGrid1_->setColumnWidth(int(c), widths[c]);
    return std::max(0, total - room);
}

// The grid fills the page between the search and its navigator.
void TreeListPage::layOut(int widthTwips, int heightTwips)
{
    const auto px = [](int twips) { return twipsToPixels(twips); };
    const int gridLeft = 90;
    const int searchHeight = 390;
    const int gridTop = 90 + searchHeight;
    const int gridWidth = widthTwips - 300;
    const int gridHeight = heightTwips - 2000 - searchHeight;
    frameSearch_->setGeometry(px(gridLeft), px(90), px(gridWidth), px(searchHeight - 30));
    DBGrid1_->setGeometry(px(gridLeft), px(gridTop), px(gridWidth), px(gridHeight));
    frameGridBottom_->setGeometry(px(gridLeft), px(gridTop + gridHeight + 30), px(gridWidth), px(450));
}

} // namespace kolva
