#include "trees/frmEditTree.h"

#include "platform/settings.h"
#include "platform/busycursor.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/keyfilter.h"
#include "platform/prompter.h"
#include "platform/twips.h"
#include "platform/windows.h"
#include "store/database.h"
#include "store/dates.h"
#include "store/textroutines.h"
#include "trees/datebox.h"
#include "trees/recordnavigator.h"
#include "trees/treemap.h"
#include "trees/treelookups.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScrollArea>

#include <functional>
#include <QToolButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace kolva {

namespace {

// The designed size of the window, in twips.
constexpr int WindowWidthTwips = 10605;
constexpr int MinimumHeightTwips = 8700;

// How long the search waits for the next key before it narrows the list.
constexpr int SearchDelayMs = 300;

// A list that changes its value by the wheel only while it has the focus:
// a wheel turned over it on the way down the page scrolls the page.
class WheelSafeComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        if (!hasFocus()) {
            event->ignore();
            return;
        }
        QComboBox::wheelEvent(event);
    }
};

// A list that offers entries; with typing allowed it also takes any text.
QComboBox* makeList(const QString& name, const QString& accessibleName, bool typingAllowed, QWidget* parent)
{
    auto* list = new WheelSafeComboBox(parent);
    list->setObjectName(name);
    list->setAccessibleName(accessibleName);
    list->setFocusPolicy(Qt::StrongFocus);
    list->setEditable(typingAllowed);
    if (typingAllowed) {
        list->setInsertPolicy(QComboBox::NoInsert);
        list->setCompleter(nullptr); // typed text stays as typed
    }
    // A list is as wide as its longest entry, so that a chosen entry shows whole.
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    list->setMaxVisibleItems(20);
    return list;
}

// Lays the controls out again whenever the widget holding them changes size.
class LayOutOnResize : public QObject {
public:
    LayOutOnResize(QObject* parent, std::function<void()> layOut) : QObject(parent), layOut_(std::move(layOut)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            layOut_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> layOut_;
};

// A trunk decay box the user empties reads 0 when left. A box that shows a
// record without the value stays empty: passing through it changes nothing.
class ZeroWhenEmpty : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut) {
            if (auto* box = qobject_cast<QLineEdit*>(watched); box && box->isModified() && box->text().isEmpty())
                box->setText(NullToZero(box->text()).toString());
        }
        return QObject::eventFilter(watched, event);
    }
};

// A multi-line box that takes at most limit() typed or pasted characters. A
// longer stored text is shown whole; the user can shorten it.
class LimitedTextEdit : public QPlainTextEdit {
public:
    LimitedTextEdit(int limit, QWidget* parent) : QPlainTextEdit(parent), limit_(limit)
    {
        setTabChangesFocus(true);
    }
    void setLimit(int limit) { limit_ = limit; }
    int limit() const { return limit_; }

    // The text as it is, no-break spaces and line separators (U+2028)
    // included (toPlainText() turns them into blanks and line ends); the
    // box's lines end in "\n".
    QString rawText() const
    {
        QString text;
        for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
            if (block != document()->begin())
                text += QLatin1Char('\n');
            text += block.text();
        }
        return text;
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const QString typed = event->text();
        const bool types = !typed.isEmpty() && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) &&
                           (typed.at(0) >= QLatin1Char(' ') || typed.at(0) == QLatin1Char('\r')) &&
                           typed.at(0) != QChar(0x7F);
        if (types && room() < typed.size()) {
            event->accept();
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }
    void insertFromMimeData(const QMimeData* source) override
    {
        if (!source->hasText())
            return;
        const QString text = source->text().left(std::max(0, room()));
        if (!text.isEmpty())
            textCursor().insertText(text);
    }

private:
    int room() const
    {
        const QTextCursor cursor = textCursor();
        return limit_ - (toPlainText().size() - (cursor.selectionEnd() - cursor.selectionStart()));
    }
    int limit_;
};

// The key filter of the latitude and longitude: a decimal number with a sign.
bool IsCoordinateKey(int keyCode)
{
    return IsDecimalKey(keyCode) || keyCode == '-';
}

// The page of a tab control that holds control, or -1.
int pageHolding(QTabWidget* tabs, QWidget* control)
{
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->widget(i)->isAncestorOf(control))
            return i;
    }
    return -1;
}

QGridLayout* pageGrid(QWidget* page)
{
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    return grid;
}

// A labelled assessment list in a page's grid, at row and column (two grid
// columns each: label, list).
void addListRow(QGridLayout* grid, const char* name, const char* labelName, const char* caption, int row,
                int column)
{
    QWidget* page = grid->parentWidget();
    auto* label = makeLabel(QString::fromLatin1(labelName), QString::fromLatin1(caption), page);
    auto* list = makeList(QString::fromLatin1(name), label->text(), true, page);
    label->setBuddy(list);
    grid->addWidget(label, row, column * 2);
    grid->addWidget(list, row, column * 2 + 1);
}

// The "Poor Architecture" lists of a page, cbo<stem>1 .. cbo<stem>count,
// from row on: the first beside the label, the second in the page's second
// list column, the third under the first; then the page's columns and rows
// take their stretch.
void addArchitectureRow(QGridLayout* grid, const char* stem, int count, int row)
{
    QWidget* page = grid->parentWidget();
    const QString name = QString::fromLatin1(stem);
    auto* arch = makeLabel(QStringLiteral("lbl") + name, QStringLiteral("Poor Architecture"), page);
    grid->addWidget(arch, row, 0);
    for (int i = 1; i <= count; ++i) {
        QComboBox* list = makeList(QStringLiteral("cbo%1%2").arg(name).arg(i),
                                   QStringLiteral("Poor Architecture %1").arg(i), true, page);
        grid->addWidget(list, row + (i - 1) / 2, (i - 1) % 2 == 0 ? 1 : 3);
        if (i == 1)
            arch->setBuddy(list);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(row + (count + 1) / 2, 1);
}

// The label of a field in the history: the name the window gives it.
QString fieldLabel(const QString& field)
{
    const TreeColumn* column = findTreeColumn(field);
    return column ? column->label : field;
}

// Runs f (a message) with the normal pointer, also while the list is
// being rebuilt under the busy one.
template <class F>
void withNormalPointer(F f)
{
    int busy = 0;
    while (QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
        ++busy;
    }
    f();
    while (busy-- > 0)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

QString historyValue(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

} // namespace

frmEditTree::frmEditTree(AppContext context, QWidget* parent) : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("frmEditTree"));
    setWindowTitle(QStringLiteral("Edit/Delete Trees"));
    buildWindow();
    // The controls are placed by hand in a widget of at least the designed
    // size; a window made smaller, or a small screen, scrolls it.
    setMinimumSize(twipsToPixels(WindowWidthTwips), twipsToPixels(MinimumHeightTwips));
    content_ = scrollContent(this)->widget();
    content_->installEventFilter(new LayOutOnResize(this, [this] { Form_Resize(); }));
    resize(twipsToPixels(WindowWidthTwips), twipsToPixels(MinimumHeightTwips));
    Form_Resize();
    Form_Load();
}

frmEditTree::~frmEditTree() = default;

// ---------------------------------------------------------------- the window

void frmEditTree::buildWindow()
{
    SSTab1_ = new QTabWidget(this);
    SSTab1_->setObjectName(QStringLiteral("SSTab1"));
    SSTab1_->addTab(buildListPage(), QStringLiteral("Tree List"));
    SSTab1_->addTab(buildDetailsPage(), QStringLiteral("Details"));
    SSTab1_->addTab(new TreeMapPage(context_, *this), QStringLiteral("Map"));

    frameSortBy_ = new QGroupBox(QStringLiteral("Sort/Filter by"), this);
    frameSortBy_->setObjectName(QStringLiteral("frameSortBy"));
    auto* sortGrid = new QGridLayout(frameSortBy_);
    sortGrid->setContentsMargins(8, 4, 8, 6);
    sortGrid->setVerticalSpacing(2);
    sortGrid->addWidget(makeLabel(QStringLiteral("lblSortBy"), QStringLiteral("Sort By"), frameSortBy_), 0, 0, 1, 2);
    const QStringList captions = sortOptionCaptions();
    for (int i = 0; i < SortOptionCount; ++i) {
        optSortBy_[size_t(i)] = new QRadioButton(captions.at(i), frameSortBy_);
        optSortBy_[size_t(i)]->setObjectName(QStringLiteral("optSortBy(%1)").arg(i));
        sortGrid->addWidget(optSortBy_[size_t(i)], 1 + i % 3, i / 3);
        connect(optSortBy_[size_t(i)], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optSortBy_Click(i);
        });
    }
    optSortBy_[0]->setChecked(true);
    auto* filterRow = new QHBoxLayout;
    auto* lblFilter = makeLabel(QStringLiteral("lblFilterByStreet"), QStringLiteral("&Filter by Street"), frameSortBy_);
    cboStreetFilter_ = makeList(QStringLiteral("cboStreetFilter"), QStringLiteral("Filter by Street"), false, frameSortBy_);
    lblFilter->setBuddy(cboStreetFilter_);
    filterRow->addWidget(lblFilter);
    filterRow->addWidget(cboStreetFilter_, 1);
    sortGrid->addLayout(filterRow, 4, 0, 1, 2);
    connect(cboStreetFilter_, &QComboBox::currentIndexChanged, this, [this] { cboStreetFilter_Click(); });

    frameButtons_ = new QFrame(this);
    frameButtons_->setObjectName(QStringLiteral("frameButtons"));
    auto* buttonRow = new QHBoxLayout(frameButtons_);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    cmdEdit_ = makeButton(QStringLiteral("cmdEdit"), QStringLiteral("&View/Edit"), frameButtons_);
    cmdDelete_ = makeButton(QStringLiteral("cmdDelete"), QStringLiteral("&Delete"), frameButtons_);
    cmdExit_ = makeButton(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), frameButtons_);
    for (QPushButton* b : {cmdEdit_, cmdDelete_, cmdExit_})
        buttonRow->addWidget(b);
    connect(cmdEdit_, &QPushButton::clicked, this, &frmEditTree::cmdEdit_Click);
    connect(cmdDelete_, &QPushButton::clicked, this, &frmEditTree::cmdDelete_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &frmEditTree::cmdExit_Click);

    cmdSave_ = makeButton(QStringLiteral("cmdSave"), QStringLiteral("&Save"), this);
    cmdCancel_ = makeButton(QStringLiteral("cmdCancel"), QStringLiteral("&Cancel"), this);
    cmdSave_->setToolTip(QStringLiteral("Save the changes of this record"));
    cmdCancel_->setToolTip(QStringLiteral("Discard the changes of this record that are not saved yet"));
    connect(cmdSave_, &QPushButton::clicked, this, &frmEditTree::cmdSave_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &frmEditTree::cmdCancel_Click);

    setTabOrder(SSTab1_, optSortBy_[0]);
}

QWidget* frmEditTree::buildListPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageTreeList"));

    // The search, above the grid.
    auto* searchRow = new QWidget(page);
    searchRow->setObjectName(QStringLiteral("frameSearch"));
    auto* searchLayout = new QHBoxLayout(searchRow);
    searchLayout->setContentsMargins(0, 0, 0, 0);
    auto* lblSearch = makeLabel(QStringLiteral("lblSearch"), QStringLiteral("Searc&h"), searchRow);
    txtSearch_ = makeTextBox(QStringLiteral("txtSearch"), QStringLiteral("Search"), searchRow);
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
    connect(searchTimer_, &QTimer::timeout, this, &frmEditTree::txtSearch_Change);
    connect(txtSearch_, &QLineEdit::textEdited, searchTimer_, qOverload<>(&QTimer::start));
    connect(txtSearch_, &QLineEdit::returnPressed, this, [this] {
        searchTimer_->stop();
        txtSearch_Change();
    });
    // The clear button empties the box without an edit of the user's keys.
    connect(txtSearch_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty() && shownSource_.search.kind != TreeSearch::Kind::None)
            searchTimer_->start();
    });

    model_ = new TreeListModel(context_.db, this);
    connect(model_, &TreeListModel::readFailed, this, [this](const QString& message) {
        withNormalPointer([&] {
            context_.prompter.warn(this,
                                   QStringLiteral("The list of trees could not be read whole; rows that could not be "
                                                  "read show empty. Press Refresh to read it again.\n\n%1")
                                       .arg(message),
                                   windowTitle());
        });
    });
    connect(model_, &TreeListModel::firstRowsRead, this, &frmEditTree::followCurrentRecord);
    connect(model_, &TreeListModel::loaded, this, [this] {
        // The sorted list may hold other records than counted (another
        // program wrote meanwhile, or the sort was stopped).
        setEntryCount(model_->rowCount());
        followCurrentRecord();
    });
    connect(model_, &TreeListModel::sortsStopped, this, [this] {
        if (closeWhenSorted_) {
            closeWhenSorted_ = false;
            close();
        }
    });
    DBGrid1_ = new QTableView(page);
    DBGrid1_->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1_->setAccessibleName(QStringLiteral("Tree List"));
    DBGrid1_->setModel(model_);
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
    connect(header, &QHeaderView::sectionClicked, this, &frmEditTree::DBGrid1_HeaderClick);
    connect(header, &QHeaderView::sectionResized, this, [this] {
        if (loaded_)
            columnsResizedByUser_ = true;
    });
    const auto& columns = treeGridColumns();
    for (size_t c = 0; c < columns.size(); ++c)
        DBGrid1_->setColumnWidth(int(c), twipsToPixels(columns[c].widthTwips));
    connect(DBGrid1_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { DBGrid1_RowChange(current.isValid() ? current.row() : -1); });
    // Enter or a double click opens the record.
    connect(DBGrid1_, &QAbstractItemView::activated, this, [this] { cmdEdit_Click(); });
    connect(DBGrid1_, &QAbstractItemView::doubleClicked, this, [this] { cmdEdit_Click(); });

    frameGridBottom_ = new QFrame(page);
    frameGridBottom_->setObjectName(QStringLiteral("frameGridBottom"));
    auto* row = new QHBoxLayout(frameGridBottom_);
    row->setContentsMargins(0, 0, 0, 0);
    Data1_ = new RecordNavigator(QStringLiteral("Select a Tree"), QStringLiteral("Go to First, Previous, Next or Last Entry"),
                                 frameGridBottom_);
    Data1_->setObjectName(QStringLiteral("Data1"));
    Data1_->setMinimumWidth(twipsToPixels(4200));
    connect(Data1_, &RecordNavigator::firstClicked, this, [this] { moveToRow(0); });
    connect(Data1_, &RecordNavigator::previousClicked, this, [this] { moveToRow(std::max(0, currentRow_ - 1)); });
    connect(Data1_, &RecordNavigator::nextClicked, this,
            [this] { moveToRow(std::min(model_->rowCount() - 1, currentRow_ + 1)); });
    connect(Data1_, &RecordNavigator::lastClicked, this, [this] { moveToRow(model_->rowCount() - 1); });
    cmdRefresh_ = makeButton(QStringLiteral("cmdRefresh"), QStringLiteral("&Refresh"), frameGridBottom_);
    connect(cmdRefresh_, &QPushButton::clicked, this, &frmEditTree::cmdRefresh_Click);
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

    return page;
}

QWidget* frmEditTree::buildDetailsPage()
{
    // The page scrolls when the window is too small for it (a large font).
    detailsScroll_ = new QScrollArea;
    detailsScroll_->setObjectName(QStringLiteral("pageDetailsScroll"));
    detailsScroll_->setWidgetResizable(true);
    detailsScroll_->setFrameShape(QFrame::NoFrame);
    detailsScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageDetails"));
    detailsScroll_->setWidget(page);
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(6, 4, 6, 4);
    outer->setSpacing(4);

    Frame1_ = new QGroupBox(page);
    Frame1_->setObjectName(QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(Frame1_);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    const auto label = [this](const char* name, const char* text) {
        return makeLabel(QString::fromLatin1(name), QString::fromLatin1(text), Frame1_);
    };
    const auto place = [grid](QLabel* caption, QWidget* control, int row, int column, int span = 1) {
        caption->setBuddy(control);
        grid->addWidget(caption, row, column * 2);
        grid->addWidget(control, row, column * 2 + 1, 1, span * 2 - 1);
    };

    txtTreeID_ = makeTextBox(QStringLiteral("txtTreeID"), QStringLiteral("Tree ID"), Frame1_);
    QFont bold = txtTreeID_->font();
    bold.setBold(true);
    txtTreeID_->setFont(bold);
    place(label("lblTreeID", "Tree ID"), txtTreeID_, 0, 0);

    // The street takes the rest of the first row, so that a long name shows whole.
    auto* street = new QWidget(Frame1_);
    auto* streetRow = new QHBoxLayout(street);
    streetRow->setContentsMargins(0, 0, 0, 0);
    streetRow->setSpacing(3);
    txtStreetNum_ = makeTextBox(QStringLiteral("txtStreetNum"), QStringLiteral("#/Street number"), street);
    txtStreetNum_->setFixedWidth(txtStreetNum_->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    cboStreetName_ = makeList(QStringLiteral("cboStreetName"), QStringLiteral("#/Street name"), false, street);
    streetRow->addWidget(txtStreetNum_);
    streetRow->addWidget(cboStreetName_, 1);
    auto* lblStreet = label("lblStreet", "#/Street");
    place(lblStreet, street, 0, 1, 2);
    lblStreet->setBuddy(txtStreetNum_);

    cboSurveyor_ = makeList(QStringLiteral("cboSurveyor"), QStringLiteral("Surveyor"), true, Frame1_);
    place(label("lblSurveyor", "Surveyor"), cboSurveyor_, 1, 0);
    DTPicker1_ = new DateBox(Frame1_);
    DTPicker1_->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1_->setAccessibleName(QStringLiteral("Date"));
    connect(DTPicker1_, &DateBox::notADate, this, &frmEditTree::DTPicker1_NotADate);
    place(label("lblDate", "Date"), DTPicker1_, 1, 1);
    lblRiskRating_ = makeLabel(QStringLiteral("lblRiskRating"), QString(), Frame1_);
    lblRiskRating_->setFrameShape(QFrame::Panel);
    lblRiskRating_->setFrameShadow(QFrame::Sunken);
    lblRiskRating_->setAlignment(Qt::AlignCenter);
    lblRiskRating_->setFont(bold);
    place(label("lblRiskRatingCaption", "Risk Rating"), lblRiskRating_, 1, 2);

    cboSpecies_ = makeList(QStringLiteral("cboSpecies"), QStringLiteral("Species"), false, Frame1_);
    place(label("lblSpecies", "Species"), cboSpecies_, 2, 0);
    txtDBH_ = makeTextBox(QStringLiteral("txtDBH"), QStringLiteral("DBH"), Frame1_);
    place(label("lblDBH", "DBH"), txtDBH_, 2, 1);
    txtSite_ = makeTextBox(QStringLiteral("txtSite"), QStringLiteral("Site"), Frame1_);
    place(label("lblSite", "Site"), txtSite_, 2, 2);

    auto* cboPhysical = makeList(QStringLiteral("cboPhysical"), QStringLiteral("Phys. Obstr."), true, Frame1_);
    place(label("lblPhysical", "Phys. Obstr."), cboPhysical, 3, 0);
    auto* cboVisual = makeList(QStringLiteral("cboVisual"), QStringLiteral("Visual Obstr."), true, Frame1_);
    place(label("lblVisual", "Visual Obstr."), cboVisual, 3, 1);
    cboLocation_ = makeList(QStringLiteral("cboLocation"), QStringLiteral("Location"), true, Frame1_);
    place(label("lblLocation", "Location"), cboLocation_, 3, 2);

    auto* cboUtility = makeList(QStringLiteral("cboUtility"), QStringLiteral("Utility Conflict"), true, Frame1_);
    place(label("lblUtility", "Utility Conflict"), cboUtility, 4, 0);
    auto* coordinates = new QWidget(Frame1_);
    auto* coordinateRow = new QHBoxLayout(coordinates);
    coordinateRow->setContentsMargins(0, 0, 0, 0);
    coordinateRow->setSpacing(3);
    txtLatitude_ = makeTextBox(QStringLiteral("txtLatitude"), QStringLiteral("Latitude"), coordinates);
    txtLongitude_ = makeTextBox(QStringLiteral("txtLongitude"), QStringLiteral("Longitude"), coordinates);
    txtLatitude_->setToolTip(QStringLiteral("Latitude, -90 to 90"));
    txtLongitude_->setToolTip(QStringLiteral("Longitude, -180 to 180"));
    txtLatitude_->setPlaceholderText(QStringLiteral("latitude"));
    txtLongitude_->setPlaceholderText(QStringLiteral("longitude"));
    for (QLineEdit* box : {txtLatitude_, txtLongitude_}) {
        box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("-000.000000")) + 12);
        coordinateRow->addWidget(box);
    }
    auto* lblCoordinates = label("lblCoordinates", "Lat./Long.");
    place(lblCoordinates, coordinates, 4, 1);
    lblCoordinates->setBuddy(txtLatitude_);
    txtReinspectYear_ = makeTextBox(QStringLiteral("txtReinspectYear"), QStringLiteral("Reinspect Year"), Frame1_);
    place(label("lblReinspectYear", "Reinspect"), txtReinspectYear_, 4, 2);

    // The boxes take what their values need: a site of 15 characters, a date.
    txtSite_->setMinimumWidth(txtSite_->fontMetrics().horizontalAdvance(QStringLiteral("12 FT TREE LAWN")) + 14);
    DTPicker1_->setMinimumWidth(DTPicker1_->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000")) + 40);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 2);
    grid->setColumnStretch(5, 2);
    outer->addWidget(Frame1_);

    SSTab2_ = new QTabWidget(page);
    SSTab2_->setObjectName(QStringLiteral("SSTab2"));
    SSTab2_->addTab(buildCrownPage(), QStringLiteral("Crown/Branches"));
    SSTab2_->addTab(buildTrunkPage(), QStringLiteral("Trunk"));
    SSTab2_->addTab(buildRootsPage(), QStringLiteral("Roots"));
    SSTab2_->addTab(buildRiskPage(), QStringLiteral("Risk Rating/Zone"));
    SSTab2_->addTab(buildCorrectivePage(), QStringLiteral("Corrective Actions"));
    SSTab2_->addTab(buildHistoryPage(), QStringLiteral("History"));
    connect(SSTab2_, &QTabWidget::currentChanged, this, [this] { showHistory(); });
    outer->addWidget(SSTab2_, 1);

    auto* moves = new QHBoxLayout;
    cmdPrevious_ = makeButton(QStringLiteral("cmdPrevious"), QStringLiteral("<<<< Previous Tree "), page);
    cmdNext_ = makeButton(QStringLiteral("cmdNext"), QStringLiteral("Next Tree >>>>"), page);
    moves->addWidget(cmdPrevious_);
    moves->addStretch(1);
    moves->addWidget(cmdNext_);
    outer->addLayout(moves);
    connect(cmdPrevious_, &QPushButton::clicked, this, &frmEditTree::cmdPrevious_Click);
    connect(cmdNext_, &QPushButton::clicked, this, &frmEditTree::cmdNext_Click);

    // The bound controls, in the order of the page.
    bind("Tree_ID", txtTreeID_, 9);
    bind("StreetNum", txtStreetNum_, 10);
    bind("StreetName", cboStreetName_);
    bind("Hazard_Rating", lblRiskRating_);
    bind("Surveyor", cboSurveyor_);
    bind("Date_Evaluated", DTPicker1_);
    bind("DBH", txtDBH_, 8);
    bind("Species", cboSpecies_);
    bind("Location", cboLocation_);
    bind("Site", txtSite_, 15);
    bind("Obstructions_Physical", cboPhysical);
    bind("Obstructions_Visual", cboVisual);
    bind("Utility_Conflict", cboUtility);
    bind("ReinspectYear", txtReinspectYear_, 4);
    bind("Latitude", txtLatitude_, 24);
    bind("Longitude", txtLongitude_, 24);
    const struct {
        const char* column;
        const char* control;
    } lists[] = {
        {"Crown_Canker", "cboCrownCanker"}, {"Crown_Crack", "cboCrownCrack"},   {"Crown_Deadwood", "cboCrownDeadwood"},
        {"Crown_Decay", "cboCrownDecay"},   {"Crown_Arch_1", "cboCrownArch1"},  {"Crown_Arch_2", "cboCrownArch2"},
        {"Crown_Arch_3", "cboCrownArch3"},  {"WeakUnion", "cboCrownUnion"},     {"Trunk_Canker", "cboTrunkcanker"},
        {"Trunk_Crack", "cboTrunkCrack"},   {"Trunk_Decay", "cboTrunkDecay"},   {"Trunk_Arch_1", "cboTrunkArch1"},
        {"Trunk_Arch_2", "cboTrunkArch2"},  {"Roots_Deep", "cboRootsDeep"},     {"Roots_Injury", "cboRoot_Injury"},
        {"Roots_Decay", "cboRootsDecay"},   {"Roots_Arch1", "cboRootsArch1"},   {"Roots_Arch2", "cboRootsArch2"},
        {"RiskZone", "cboRiskZone"},        {"Size_Defect", "cboRisk1"},        {"Prob_Failure", "cboRisk2"},
        {"Prob_TargetImpact", "cboRisk3"},  {"OtherRisk", "cboRisk4"},
    };
    for (const auto& l : lists)
        bind(l.column, page->findChild<QComboBox*>(QString::fromLatin1(l.control)));
    bind("TrunkDecay_Shell", txtShell_, 5);
    bind("TrunkDecay_Diam", txtDiam_, 5);
    bind("TrunkDecay_Pct", txtPct_, 3);
    bind("Desc_OtherRisk", txtDescOtherRisk_, 150);
    bind("CorrectiveActions", txtCorrect_);
    bind("Note", txtNote_, 255);

    for (QLineEdit* box : {txtTreeID_, txtDBH_, txtShell_, txtDiam_, txtPct_})
        installKeyFilter(box, IsDecimalKey);
    installKeyFilter(txtReinspectYear_, IsIntegerKey);
    for (QLineEdit* box : {txtLatitude_, txtLongitude_})
        installKeyFilter(box, IsCoordinateKey);
    auto* zero = new ZeroWhenEmpty(this);
    for (QLineEdit* box : {txtShell_, txtDiam_, txtPct_})
        box->installEventFilter(zero);
    return detailsScroll_;
}

QWidget* frmEditTree::buildCrownPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageCrown"));
    auto* grid = pageGrid(page);
    addListRow(grid, "cboCrownCanker", "lblCrownCanker", "Canker", 0, 0);
    addListRow(grid, "cboCrownCrack", "lblCrownCrack", "Crack", 0, 1);
    addListRow(grid, "cboCrownDeadwood", "lblCrownDeadwood", "Deadwood", 1, 0);
    addListRow(grid, "cboCrownDecay", "lblCrownDecay", "Decay", 1, 1);
    addListRow(grid, "cboCrownUnion", "lblCrownUnion", "Weak Union", 2, 0);
    addArchitectureRow(grid, "CrownArch", 3, 3);
    return page;
}

QWidget* frmEditTree::buildTrunkPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageTrunk"));
    auto* grid = pageGrid(page);
    addListRow(grid, "cboTrunkcanker", "lblTrunkCanker", "Canker", 0, 0);
    addListRow(grid, "cboTrunkCrack", "lblTrunkCrack", "Crack", 0, 1);
    addListRow(grid, "cboTrunkDecay", "lblTrunkDecay", "Decay", 1, 0);

    auto* decayRow = new QHBoxLayout;
    const auto box = [page, decayRow](const char* name, const char* labelName, const char* caption, int width) {
        const LabelledTextBox made = makeLabelledTextBox(QString::fromLatin1(labelName), QString::fromLatin1(caption),
                                                         QString::fromLatin1(name), page);
        made.box->setFixedWidth(width);
        decayRow->addWidget(made.label);
        decayRow->addWidget(made.box);
        return made.box;
    };
    txtShell_ = box("txtShell", "lblShell", "Shell", 56);
    txtDiam_ = box("txtDiam", "lblDiam", "\" at diam", 56);
    txtPct_ = box("txtPct", "lblPct", "% Open", 44);
    decayRow->addStretch(1);
    grid->addLayout(decayRow, 1, 2, 1, 2);
    addArchitectureRow(grid, "TrunkArch", 2, 2);
    return page;
}

QWidget* frmEditTree::buildRootsPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageRoots"));
    auto* grid = pageGrid(page);
    addListRow(grid, "cboRootsDeep", "lblRootsDeep", "Buried Deep", 0, 0);
    addListRow(grid, "cboRoot_Injury", "lblRootInjury", "Injury", 0, 1);
    addListRow(grid, "cboRootsDecay", "lblRootsDecay", "Decay", 1, 0);
    addArchitectureRow(grid, "RootsArch", 2, 2);
    return page;
}

QWidget* frmEditTree::buildRiskPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageRisk"));
    auto* grid = pageGrid(page);
    auto* lblZone = makeLabel(QStringLiteral("lblRiskZone"), QStringLiteral("Risk Zone"), page);
    cboRiskZone_ = makeList(QStringLiteral("cboRiskZone"), lblZone->text(), true, page);
    lblZone->setBuddy(cboRiskZone_);
    grid->addWidget(lblZone, 0, 0);
    grid->addWidget(cboRiskZone_, 0, 1);
    // The four questions two by two: the title, then its answers.
    for (int q = 0; q < 4; ++q) {
        lblRiskTitle_[size_t(q)] = makeLabel(QStringLiteral("lblRiskTitle_%1").arg(q + 1), QString(), page);
        cboRisk_[size_t(q)] = makeList(QStringLiteral("cboRisk%1").arg(q + 1), QString(), true, page);
        lblRiskTitle_[size_t(q)]->setBuddy(cboRisk_[size_t(q)]);
        const int row = 1 + q / 2;
        const int column = q % 2;
        grid->addWidget(lblRiskTitle_[size_t(q)], row, column * 2);
        grid->addWidget(cboRisk_[size_t(q)], row, column * 2 + 1);
        connect(cboRisk_[size_t(q)], &QComboBox::activated, this, [this] { ComputeRiskRating(); });
    }
    txtDescOtherRisk_ = new LimitedTextEdit(150, page);
    txtDescOtherRisk_->setObjectName(QStringLiteral("txtDescOtherRisk"));
    txtDescOtherRisk_->setAccessibleName(QStringLiteral("Description of the other risk"));
    txtDescOtherRisk_->setPlaceholderText(QStringLiteral("Description of the other risk"));
    txtDescOtherRisk_->setFixedHeight(txtDescOtherRisk_->fontMetrics().lineSpacing() * 2 + 12);
    grid->addWidget(txtDescOtherRisk_, 3, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(4, 1);
    return page;
}

QWidget* frmEditTree::buildCorrectivePage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageCorrective"));
    auto* grid = pageGrid(page);
    const QStringList captions = correctiveActionCaptions();
    for (int i = 0; i < CorrectiveActionCount; ++i) {
        chkCorrect_[size_t(i)] = new QCheckBox(captions.at(i), page);
        chkCorrect_[size_t(i)]->setObjectName(QStringLiteral("chkCorrect(%1)").arg(i));
        grid->addWidget(chkCorrect_[size_t(i)], i / 4, i % 4);
        connect(chkCorrect_[size_t(i)], &QCheckBox::clicked, this, [this] { chkCorrect_Click(); });
    }
    auto* lblCorrect = makeLabel(QStringLiteral("lblCorrect"), QStringLiteral("Corrective Actions"), page);
    txtCorrect_ = makeTextBox(QStringLiteral("txtCorrect"), lblCorrect->text(), page);
    // The list follows the boxes; it is not typed.
    txtCorrect_->setReadOnly(true);
    auto* codes = new QHBoxLayout;
    codes->addWidget(lblCorrect);
    codes->addWidget(txtCorrect_, 1);
    grid->addLayout(codes, 3, 0, 1, 4);
    txtNote_ = new LimitedTextEdit(255, page);
    txtNote_->setObjectName(QStringLiteral("txtNote"));
    txtNote_->setAccessibleName(QStringLiteral("Note"));
    txtNote_->setPlaceholderText(QStringLiteral("Note"));
    txtNote_->setFixedHeight(txtNote_->fontMetrics().lineSpacing() * 2 + 12);
    grid->addWidget(txtNote_, 4, 0, 1, 4);
    grid->setRowStretch(5, 1);
    return page;
}

QWidget* frmEditTree::buildHistoryPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageHistory"));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(8, 6, 8, 6);
    column->setSpacing(4);
    chkDeletedRecords_ = new QCheckBox(QStringLiteral("Show deleted rec&ords instead"), page);
    chkDeletedRecords_->setObjectName(QStringLiteral("chkDeletedRecords"));
    connect(chkDeletedRecords_, &QCheckBox::toggled, this, [this] { showHistory(); });
    column->addWidget(chkDeletedRecords_);
    auto* split = new QSplitter(Qt::Horizontal, page);
    lstHistory_ = new QTreeWidget(split);
    lstHistory_->setObjectName(QStringLiteral("lstHistory"));
    lstHistory_->setAccessibleName(QStringLiteral("History of the record"));
    lstHistory_->setRootIsDecorated(false);
    lstHistory_->setUniformRowHeights(true);
    lstHistory_->setAlternatingRowColors(true);
    lstHistory_->setHeaderLabels({QStringLiteral("When"), QStringLiteral("By"), QStringLiteral("Field"),
                                  QStringLiteral("Old Value"), QStringLiteral("New Value")});
    txtHistoryDetail_ = new QPlainTextEdit(split);
    txtHistoryDetail_->setObjectName(QStringLiteral("txtHistoryDetail"));
    txtHistoryDetail_->setAccessibleName(QStringLiteral("The chosen entry of the history"));
    txtHistoryDetail_->setReadOnly(true);
    txtHistoryDetail_->setTabChangesFocus(true);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    column->addWidget(split, 1);
    connect(lstHistory_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        txtHistoryDetail_->setPlainText(item ? item->data(0, Qt::UserRole).toString() : QString());
    });
    return page;
}

void frmEditTree::bind(const char* column, QWidget* control, int maxLength)
{
    const TreeColumn* found = findTreeColumn(QString::fromLatin1(column));
    Q_ASSERT(found && control);
    if (auto* box = qobject_cast<QLineEdit*>(control); box && maxLength > 0)
        box->setMaxLength(maxLength);
    bindings_.push_back({found, control, maxLength});
}

QWidget* frmEditTree::controlOf(const QString& column) const
{
    for (const Binding& b : bindings_) {
        if (b.column->name == column)
            return b.control;
    }
    return nullptr;
}

// ---------------------------------------------------------------- loading

void frmEditTree::Form_Load()
{
    IsLoading_ = true;
    BusyCursor busy;
    try {
        FillSurveyorList();
        FillStreetLists();
        FillSpeciesList();
        FillRiskZoneList();
        for (int q = 1; q <= 4; ++q)
            FillRiskQuestionList(q);
    } catch (const DbError& error) {
        busy.release();
        context_.prompter.warn(this, QStringLiteral("The lists of the Tree editor could not be read.\n\n%1").arg(error.message()),
                               windowTitle());
    }
    FillCodedLists();
    // Where the desktop's font is too wide for the designed width, the
    // window widens so that the grid still shows the longest names whole.
    if (const int lacking = fitGridColumns(); lacking > 0) {
        widenContent(lacking);
        Form_Resize();
        fitGridColumns();
    }
    QCoreApplication::processEvents();

    // The list the window opens with, by tree number; the first activation
    // replaces it by the order of the sort option.
    {
        QScopedValueRollback syncing(syncingGrid_, true);
        try {
            model_->setSource(TreeListSource{});
        } catch (const DbError& error) {
            model_->clear();
            busy.release();
            context_.prompter.warn(this, QStringLiteral("The list of trees could not be read.\n\n%1").arg(error.message()),
                                   windowTitle());
        }
    }
    shownSource_ = model_->source();
    setEntryCount(model_->rowCount());
    showFirstRecord();
    QCoreApplication::processEvents();
    SSTab1_->setCurrentIndex(0);
    loaded_ = true;
}

void frmEditTree::FillSurveyorList()
{
    cboSurveyor_->clear();
    cboSurveyor_->addItems(readReferenceList(context_.db, ReferenceList::Surveyors));
}

void frmEditTree::FillStreetLists()
{
    const QStringList streets = readReferenceList(context_.db, ReferenceList::Streets);
    cboStreetName_->clear();
    cboStreetName_->addItems(streets);
    const QSignalBlocker block(cboStreetFilter_);
    cboStreetFilter_->clear();
    cboStreetFilter_->addItem(allStreetsEntry());
    cboStreetFilter_->addItems(streets);
    cboStreetFilter_->setCurrentIndex(0);
}

void frmEditTree::FillSpeciesList()
{
    cboSpecies_->clear();
    cboSpecies_->addItems(readReferenceList(context_.db, ReferenceList::Species));
}

void frmEditTree::FillRiskZoneList()
{
    cboRiskZone_->clear();
    cboRiskZone_->addItems(readReferenceList(context_.db, ReferenceList::RiskZones));
}

void frmEditTree::FillRiskQuestionList(int question)
{
    const RiskQuestionList list = readRiskQuestionList(context_.db, question);
    QLabel* title = lblRiskTitle_[size_t(question - 1)];
    QComboBox* answers = cboRisk_[size_t(question - 1)];
    title->setText(list.title);
    answers->clear();
    answers->addItems(list.entries);
    answers->setAccessibleName(list.title.trimmed());
}

void frmEditTree::FillCodedLists()
{
    for (const CodedList& coded : codedLists()) {
        if (auto* list = findChild<QComboBox*>(coded.control)) {
            list->clear();
            list->addItems(coded.entries);
        }
    }
    cboLocation_->clear();
    cboLocation_->addItems(locationEntries());
    // The trunk's canker, crack and decay take the entries of the crown's.
    const struct {
        const char* trunk;
        const char* crown;
    } twins[] = {{"cboTrunkcanker", "cboCrownCanker"}, {"cboTrunkCrack", "cboCrownCrack"}, {"cboTrunkDecay", "cboCrownDecay"}};
    for (const auto& twin : twins) {
        auto* trunk = findChild<QComboBox*>(QString::fromLatin1(twin.trunk));
        auto* crown = findChild<QComboBox*>(QString::fromLatin1(twin.crown));
        trunk->clear();
        for (int i = 0; i < crown->count(); ++i)
            trunk->addItem(crown->itemText(i));
    }
}

// The grid shows the longest names of the lists whole and fits the width of
// the page without a horizontal scroll bar: the site, the location and the
// surveyor give up width first. Gives the pixels the grid still lacks.
int frmEditTree::fitGridColumns()
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
            content = longest(cboSpecies_, QStringLiteral("TICO-LITTLELEAF LINDEN"));
        else if (field == QLatin1String("DBH"))
            content = text.horizontalAdvance(QStringLiteral("000"));
        else if (field == QLatin1String("Site"))
            content = text.horizontalAdvance(QStringLiteral("10 FT LAWN"));
        else if (field == QLatin1String("Location"))
            content = text.horizontalAdvance(QStringLiteral("Median"));
        else if (field == QLatin1String("Hazard_Rating"))
            content = text.horizontalAdvance(QStringLiteral("00"));
        else if (field == QLatin1String("Surveyor"))
            content = longest(cboSurveyor_, QStringLiteral("J SMITH"));
        else if (field == QLatin1String("StreetName"))
            content = longest(cboStreetName_, QStringLiteral("WASHINGTON AVE"));
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

// The window opens large enough for the "Details" page to show every value
// of the longest supplied lists whole, without scrolling: wider and taller
// than designed where the desktop's font needs it. The user can still make
// it as small as designed; the page then scrolls.
void frmEditTree::fitWindowToDetails()
{
    // The pages share one area; the list page, which shows, has its size.
    const QSize room = SSTab1_->widget(0)->size();
    const QSize need = detailsScroll_->widget()->minimumSizeHint();
    const int lackingHeight = need.height() - room.height();
    if (lackingHeight > 0)
        resizeWithinScreen(this, QSize(width(), height() + lackingHeight));
    const int lackingWidth = need.width() - room.width();
    if (lackingWidth > 0) {
        widenContent(lackingWidth);
        if (!columnsResizedByUser_)
            fitGridColumns();
    }
}

// Activation ends the loading and builds the list of the chosen sort
// option. Messages and the calendar that come and go over the window, and
// other programs, do not start another activation: the user stays on the
// record being edited.
void frmEditTree::Form_Activate()
{
    if (!IsLoading_ || !loaded_)
        return;
    IsLoading_ = false;
    refreshList(false);
    cmdExit_->setFocus();
}

bool frmEditTree::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return QWidget::event(event);
}

void frmEditTree::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (IsLoading_) {
        fitWindowToDetails();
        placeWindow(this, context_.settings);
        // Where the desktop gives the window no activation when it opens,
        // the list is still built as soon as the window shows.
        QTimer::singleShot(0, this, [this] {
            if (isVisible())
                Form_Activate();
        });
    }
}

// ---------------------------------------------------------------- the list

TreeListSource frmEditTree::chosenSource() const
{
    TreeListSource source;
    if (sortColumn_ >= 0) {
        source.sortColumn = sortColumn_;
        source.sortOrder = sortOrder_;
    } else {
        for (int i = 0; i < SortOptionCount; ++i) {
            if (optSortBy_[size_t(i)]->isChecked()) {
                source.sortOption = i;
                break;
            }
        }
    }
    if (cboStreetFilter_->currentIndex() > 0)
        source.street = cboStreetFilter_->currentText();
    QStringList streets, species;
    for (int i = 0; i < cboStreetName_->count(); ++i)
        streets << cboStreetName_->itemText(i);
    for (int i = 0; i < cboSpecies_->count(); ++i)
        species << cboSpecies_->itemText(i);
    source.search = parseTreeSearch(txtSearch_->text(), streets, species);
    return source;
}

void frmEditTree::showChosenSource(const TreeListSource& source)
{
    for (int i = 0; i < SortOptionCount; ++i) {
        QRadioButton* option = optSortBy_[size_t(i)];
        QSignalBlocker block(option);
        // With the list sorted by a column no option is chosen.
        option->setAutoExclusive(false);
        option->setChecked(source.sortColumn < 0 && i == std::max(0, source.sortOption));
        option->setAutoExclusive(true);
    }
    sortColumn_ = source.sortColumn;
    sortOrder_ = source.sortOrder;
    QHeaderView* header = DBGrid1_->horizontalHeader();
    {
        QSignalBlocker block(header);
        header->setSortIndicatorShown(sortColumn_ >= 0);
        header->setSortIndicator(sortColumn_, sortOrder_);
    }
    QSignalBlocker block(cboStreetFilter_);
    const int at = source.street.isEmpty() ? 0 : cboStreetFilter_->findText(source.street, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    cboStreetFilter_->setCurrentIndex(std::max(0, at));
}

void frmEditTree::RefreshTreeList()
{
    refreshList(true);
}

void frmEditTree::refreshList(bool force, bool recount)
{
    if (refreshing_)
        return;
    searchTimer_->stop();
    // The record being left is checked and written back first; when it
    // cannot be, the list and the choices that would rebuild it stay as they were.
    if (!leaveRecord()) {
        showChosenSource(shownSource_);
        return;
    }
    QScopedValueRollback refreshing(refreshing_, true);
    BusyCursor busy;
    SSTab1_->setTabEnabled(1, true);
    const TreeListSource source = chosenSource();
    const BoundStatement wanted = treeListStatement(source);
    const BoundStatement shown = treeListStatement(model_->source());
    // The list the window opened with is already in the order of the first option.
    const bool same = !force && wanted.sql == shown.sql && wanted.values == shown.values &&
                      source.search == model_->source().search;
    // The same records in another order: the current record stays current.
    bool kept = false;
    if (!same) {
        QScopedValueRollback syncing(syncingGrid_, true);
        followId_ = -1;
        try {
            model_->setSource(source, recount);
            if (!recount && currentId_ >= 0) {
                const int row = model_->rowOf(currentId_);
                kept = row >= 0 || model_->isLoading();
                currentRow_ = row;
                if (row < 0)
                    followId_ = currentId_;
            }
        } catch (const DbError& error) {
            model_->clear();
            busy.release();
            context_.prompter.warn(this, QStringLiteral("The list of trees could not be read.\n\n%1").arg(error.message()),
                                   windowTitle());
        }
        if (!kept)
            currentRow_ = -1;
    }
    shownSource_ = source;
    showChosenSource(source);
    if (kept) {
        selectGridRow(currentRow_);
        if (currentRow_ >= 0)
            DBGrid1_->scrollTo(model_->index(currentRow_, 0));
        updateRecordButtons();
    } else if (model_->rowCount() > 0 && same && currentRow_ >= 0) {
        setDetailsEnabled(true);
    } else {
        showFirstRecord();
    }
    setEntryCount(model_->rowCount());
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    emit treeListRefreshed();
}

void frmEditTree::setDetailsEnabled(bool enabled)
{
    if (!enabled)
        SSTab1_->setCurrentIndex(0);
    SSTab1_->setTabEnabled(1, enabled);
}

void frmEditTree::updateRecordButtons()
{
    const bool any = currentId_ >= 0;
    for (QPushButton* b : {cmdEdit_, cmdDelete_, cmdSave_, cmdCancel_})
        b->setEnabled(any);
}

void frmEditTree::setEntryCount(int count)
{
    lblNumTrees_->setText(formatEntryCount(count));
    // A screen reader reads the count, not only its caption.
    lblNumTrees_->setAccessibleName(QStringLiteral("Entries on File: %1").arg(lblNumTrees_->text()));
}

void frmEditTree::setRiskRatingText(const QString& text)
{
    lblRiskRating_->setText(text);
    lblRiskRating_->setAccessibleName(QStringLiteral("Risk Rating: %1").arg(text));
}

void frmEditTree::optSortBy_Click(int)
{
    if (IsLoading_)
        return;
    // An option replaces the order of a column; the records stay the same.
    sortColumn_ = -1;
    refreshList(true, false);
}

void frmEditTree::cboStreetFilter_Click()
{
    if (IsLoading_)
        return;
    RefreshTreeList();
}

void frmEditTree::txtSearch_Change()
{
    if (IsLoading_)
        return;
    const TreeListSource source = chosenSource();
    if (source.search == shownSource_.search)
        return;
    RefreshTreeList();
    if (!(shownSource_.search == source.search))
        return;
    txtSearch_->setFocus();
}

void frmEditTree::DBGrid1_HeaderClick(int column)
{
    const int before = sortColumn_;
    const Qt::SortOrder beforeOrder = sortOrder_;
    if (IsLoading_) {
        showChosenSource(shownSource_);
        return;
    }
    // A second click on the same column reverses its order.
    sortOrder_ = column == sortColumn_ && sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    sortColumn_ = column;
    refreshList(true, false);
    if (shownSource_.sortColumn != column) {
        sortColumn_ = before;
        sortOrder_ = beforeOrder;
        showChosenSource(shownSource_);
    }
}

void frmEditTree::cmdRefresh_Click()
{
    if (IsLoading_)
        return;
    RefreshTreeList();
}

void frmEditTree::cmdEdit_Click()
{
    if (SSTab1_->isTabEnabled(1) && currentId_ >= 0)
        SSTab1_->setCurrentIndex(1);
}

void frmEditTree::selectGridRow(int row)
{
    QScopedValueRollback syncing(syncingGrid_, true);
    if (row < 0) {
        DBGrid1_->selectionModel()->clear();
        return;
    }
    const int column = std::max(0, DBGrid1_->currentIndex().column());
    DBGrid1_->setCurrentIndex(model_->index(row, column));
}

void frmEditTree::DBGrid1_RowChange(int row)
{
    if (syncingGrid_ || row < 0)
        return;
    if (!moveToRow(row))
        selectGridRow(currentRow_);
}

// ---------------------------------------------------------------- the record

bool frmEditTree::showTreeRecord(qint64 id)
{
    int row = model_->rowOf(id);
    if (row < 0 && model_->isLoading()) {
        model_->finishLoading();
        row = model_->rowOf(id);
    }
    return moveToRow(row);
}

bool frmEditTree::moveToRow(int row)
{
    if (row < 0 || row >= model_->rowCount())
        return false;
    if (row == currentRow_) {
        selectGridRow(row);
        return true;
    }
    if (!leaveRecord() || !showRecord(row)) {
        selectGridRow(currentRow_);
        return false;
    }
    return true;
}

void frmEditTree::showFirstRecord()
{
    if (model_->rowCount() > 0 && showRecord(0))
        return;
    // No record to show, or none that could be read: no empty form stands
    // for a record.
    setDetailsEnabled(false);
    showNoRecord();
}

bool frmEditTree::showRecord(int row)
{
    qint64 id = -1;
    try {
        id = model_->readIdAt(row);
    } catch (const DbError& error) {
        withNormalPointer([&] { context_.prompter.warn(this, recordNotReadMessage(error), windowTitle()); });
        return false;
    }
    // A row whose record the sort has not placed yet shows nothing yet.
    if (id < 0 && model_->isSorting())
        return false;
    return showRecordOf(id, row);
}

void frmEditTree::followCurrentRecord()
{
    // The sorted list may also have moved the row (another program added
    // or deleted records meanwhile).
    if (followId_ < 0 && currentId_ >= 0 && currentRow_ >= 0 && !model_->isLoading() &&
        model_->idAt(currentRow_) != currentId_)
        followId_ = currentId_;
    if (followId_ < 0)
        return;
    const int row = model_->rowOf(followId_);
    if (row < 0) {
        // Not in the list as sorted (another program deleted it): it stays
        // shown, without a row.
        if (!model_->isLoading()) {
            followId_ = -1;
            currentRow_ = -1;
            selectGridRow(-1);
        }
        return;
    }
    followId_ = -1;
    currentRow_ = row;
    selectGridRow(row);
    DBGrid1_->scrollTo(model_->index(row, 0));
}

bool frmEditTree::showRecordOf(qint64 id, int row)
{
    std::optional<TreeRecord> record;
    try {
        if (id >= 0)
            record = readTreeRecord(context_.db, id);
    } catch (const DbError& error) {
        // The record shown stays, so that the user can try again.
        withNormalPointer([&] { context_.prompter.warn(this, recordNotReadMessage(error), windowTitle()); });
        return false;
    }
    if (!record) {
        withNormalPointer([&] {
            context_.prompter.warn(this,
                                   QStringLiteral("The record could not be read: it is no longer in the database "
                                                  "(another window or program deleted it). Press Refresh to read the "
                                                  "list again."),
                                   windowTitle());
        });
        return false;
    }
    currentRow_ = row;
    currentId_ = id;
    followId_ = -1;
    stored_ = std::move(*record);
    SSTab1_->setTabEnabled(1, true);
    for (const Binding& b : bindings_) {
        showValue(b, shownValue(*b.column, stored_[b.column->name]));
        // What the control shows of the stored value counts as unchanged.
        shownStored_[b.column->name] = shownText(b);
    }
    // The boxes show the stored list; the list itself stays as stored until
    // the user clicks a box.
    setCorrectiveBoxes(correctiveActionBoxes(txtCorrect_->text()));
    selectGridRow(row);
    updateRecordButtons();
    showHistory();
    emit currentRecordChanged(id);
    return true;
}

void frmEditTree::showNoRecord()
{
    currentRow_ = -1;
    currentId_ = -1;
    followId_ = -1;
    stored_.clear();
    for (const Binding& b : bindings_) {
        showValue(b, QString());
        shownStored_[b.column->name] = shownText(b);
    }
    setCorrectiveBoxes({});
    selectGridRow(-1);
    updateRecordButtons();
    showHistory();
    emit currentRecordChanged(-1);
}

void frmEditTree::setCorrectiveBoxes(const CorrectiveActionBoxes& boxes)
{
    for (int i = 0; i < CorrectiveActionCount; ++i)
        chkCorrect_[size_t(i)]->setChecked(boxes[size_t(i)]);
}

void frmEditTree::chkCorrect_Click()
{
    CorrectiveActionBoxes boxes{};
    for (int i = 0; i < CorrectiveActionCount; ++i)
        boxes[size_t(i)] = chkCorrect_[size_t(i)]->isChecked();
    // The codes no box stands for stay in the list.
    txtCorrect_->setText(correctiveActionText(boxes, txtCorrect_->text()));
}

void frmEditTree::ComputeRiskRating()
{
    setRiskRatingText(riskRatingText(
        {cboRisk_[0]->currentText(), cboRisk_[1]->currentText(), cboRisk_[2]->currentText(), cboRisk_[3]->currentText()}));
}

QString frmEditTree::shownText(const Binding& binding) const
{
    QWidget* c = binding.control;
    if (auto* date = qobject_cast<DateBox*>(c)) {
        // A date as its day; a text that is not a date as typed.
        const QDate day = date->date();
        return day.isValid() ? day.toString(QStringLiteral("yyyy-MM-dd")) : date->text().trimmed();
    }
    if (auto* box = qobject_cast<QLineEdit*>(c))
        return box->text();
    if (auto* list = qobject_cast<QComboBox*>(c))
        return list->currentText();
    if (auto* label = qobject_cast<QLabel*>(c))
        return label->text();
    if (auto* text = dynamic_cast<LimitedTextEdit*>(c))
        return text->rawText();
    return {};
}

void frmEditTree::showValue(const Binding& binding, const QString& value)
{
    QWidget* c = binding.control;
    const QSignalBlocker block(c);
    if (auto* date = qobject_cast<DateBox*>(c)) {
        date->setDate(QDate::fromString(value, QStringLiteral("yyyy-MM-dd")));
    } else if (auto* box = qobject_cast<QLineEdit*>(c)) {
        // A stored value longer than the box takes is shown whole.
        if (binding.maxLength > 0)
            box->setMaxLength(std::max<int>(binding.maxLength, int(value.size())));
        box->setText(value);
        box->setCursorPosition(0);
    } else if (auto* list = qobject_cast<QComboBox*>(c)) {
        int at = list->findText(value, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (list->isEditable()) {
            list->setCurrentIndex(at);
            list->setEditText(value);
            list->lineEdit()->setCursorPosition(0); // a long entry shows its code
        } else {
            // A stored name the list lacks (another spelling) is offered too,
            // so that the record shows what it holds.
            if (at < 0 && !value.isEmpty()) {
                list->addItem(value);
                at = list->count() - 1;
            }
            list->setCurrentIndex(at);
        }
    } else if (c == lblRiskRating_) {
        setRiskRatingText(value);
    } else if (auto* text = dynamic_cast<LimitedTextEdit*>(c)) {
        const QString shown = multiLineShown(value);
        text->setLimit(std::max<int>(binding.maxLength, int(shown.size())));
        text->setPlainText(shown);
    }
}

bool frmEditTree::hasPendingChanges() const
{
    if (currentId_ < 0)
        return false;
    for (const Binding& b : bindings_) {
        const auto before = shownStored_.find(b.column->name);
        if (before == shownStored_.end() || before->second != shownText(b))
            return true;
    }
    return false;
}

std::vector<std::pair<QString, QVariant>> frmEditTree::pendingChanges() const
{
    std::vector<std::pair<QString, QVariant>> changes;
    for (const Binding& b : bindings_) {
        const QString& name = b.column->name;
        const QString shown = shownText(b);
        const auto before = shownStored_.find(name);
        if (before != shownStored_.end() && before->second == shown)
            continue;
        const auto found = stored_.find(name);
        const QVariant original = found == stored_.end() ? QVariant() : found->second;
        if (dynamic_cast<LimitedTextEdit*>(b.control) && before != shownStored_.end()) {
            // Only the characters the user changed change.
            changes.emplace_back(name, mergeEditedText(original.isNull() ? QString() : original.toString(),
                                                       before->second, shown));
            continue;
        }
        changes.emplace_back(name, storedValue(*b.column, shown, original));
    }
    return changes;
}

void frmEditTree::focusControl(QWidget* control)
{
    if (!control)
        return;
    SSTab1_->setCurrentIndex(1);
    if (const int page = pageHolding(SSTab2_, control); page >= 0)
        SSTab2_->setCurrentIndex(page);
    detailsScroll_->ensureWidgetVisible(control);
    control->setFocus();
}

bool frmEditTree::saveChanges()
{
    if (currentId_ < 0)
        return true;
    TreeRecord written;
    try {
        const auto changes = pendingChanges();
        if (changes.empty())
            return true;
        // The list is read to its end before the database changes under it.
        model_->finishLoading();
        written = writeTreeRecord(context_.db, currentId_, changes, stored_, {context_.clock.now(), operatingSystemUser()});
    } catch (const TreeRecordChanged& changed) {
        // Another window or program changed the record since it was shown.
        if (context_.prompter.message(this, treeRecordChangedMessage(changed.conflicts())) == MsgAnswer::Yes) {
            showRecordOf(currentId_, currentRow_);
        } else {
            // The user has been told: the next save writes over the other change.
            for (const TreeFieldConflict& conflict : changed.conflicts())
                stored_[conflict.column] = conflict.stored;
        }
        return false;
    } catch (const TreeRecordRefused& refused) {
        // A value at fault is corrected; a row the database refused (held by
        // another program, say) can be saved again later.
        context_.prompter.warn(this,
                               refused.userMessage() +
                                   (refused.column().isEmpty()
                                        ? QStringLiteral("\n\nSave again later, or choose Cancel to go back to the "
                                                         "record as it is stored.")
                                        : QStringLiteral("\n\nCorrect it, or choose Cancel to go back to the record "
                                                         "as it is stored.")),
                               recordNotSavedCaption());
        focusControl(controlOf(refused.column()));
        return false;
    }
    // The record as now stored is the record the controls show.
    for (auto& [name, value] : written)
        stored_[name] = value;
    for (const Binding& b : bindings_)
        shownStored_[b.column->name] = shownText(b);
    model_->rowChanged(currentRow_);
    showHistory();
    return true;
}

bool frmEditTree::leaveRecord()
{
    if (!hasPendingChanges())
        return true;
    // One check for every way of leaving a changed record.
    const TreeCheck check = checkTreeRecord(txtTreeID_->text(), cboSurveyor_->currentText());
    if (check != TreeCheck::Ok) {
        context_.prompter.message(this, treeCheckMessage(check));
        focusControl(check == TreeCheck::MissingTreeId ? static_cast<QWidget*>(txtTreeID_) : cboSurveyor_);
        return false;
    }
    return saveChanges();
}

bool frmEditTree::ValidateAndSaveTree()
{
    if (currentId_ < 0)
        return false;
    return leaveRecord();
}

void frmEditTree::cmdNext_Click()
{
    if (!ValidateAndSaveTree())
        return;
    if (currentRow_ != model_->rowCount() - 1)
        moveToRow(currentRow_ + 1);
}

void frmEditTree::cmdPrevious_Click()
{
    if (!ValidateAndSaveTree())
        return;
    if (currentRow_ != 0)
        moveToRow(currentRow_ - 1);
}

void frmEditTree::cmdSave_Click()
{
    ValidateAndSaveTree();
}

void frmEditTree::cmdCancel_Click()
{
    if (currentId_ >= 0)
        showRecordOf(currentId_, currentRow_);
}

void frmEditTree::DTPicker1_NotADate(const QString& typed)
{
    context_.prompter.message(this, {notADateMessage(typed), QStringLiteral("Date"), MsgIcon::Exclamation,
                                     MsgButtons::Ok, MsgAnswer::Ok});
    focusControl(DTPicker1_);
}

void frmEditTree::cmdDelete_Click()
{
    if (IsLoading_ || model_->rowCount() == 0 || currentId_ < 0)
        return;
    // The question names the record as the window shows it.
    const QDate day = DTPicker1_->date();
    const MsgAnswer answer = context_.prompter.message(
        this, deleteTreeMessage(txtTreeID_->text(), cboSpecies_->currentText(), txtDBH_->text(),
                                day.isValid() ? QVariant(toDbDateTime(day.startOfDay())) : QVariant()));
    // No changes nothing: the edits not yet saved stay on the screen.
    if (answer != MsgAnswer::Yes)
        return;
    try {
        model_->finishLoading();
        deleteTreeRecord(context_.db, currentId_, {context_.clock.now(), operatingSystemUser()});
    } catch (const DbError& error) {
        context_.prompter.warn(this, QStringLiteral("The record was not deleted.\n\n%1").arg(error.message()),
                               QStringLiteral("Confirm Delete"));
        return;
    }
    // The edits not yet saved went with the record. The next record becomes
    // current, or the previous one after the last.
    const int row = std::max(0, currentRow_);
    const qint64 deleted = currentId_;
    currentRow_ = -1;
    currentId_ = -1;
    model_->removeRecord(deleted);
    setEntryCount(model_->rowCount());
    if (model_->rowCount() == 0 || !showRecord(std::min(row, model_->rowCount() - 1))) {
        setDetailsEnabled(false);
        showNoRecord();
    }
}

void frmEditTree::showHistory()
{
    // The history is read while its page shows.
    if (!lstHistory_ || SSTab2_->currentIndex() != pageHolding(SSTab2_, lstHistory_))
        return;
    lstHistory_->clear();
    txtHistoryDetail_->clear();
    try {
        if (chkDeletedRecords_->isChecked()) {
            lstHistory_->setHeaderLabels({QStringLiteral("Deleted"), QStringLiteral("By"), QStringLiteral("Record")});
            for (const HistoryEntry& e : readDeletedRecords(context_.db)) {
                auto* item = new QTreeWidgetItem(lstHistory_, {shownDateTime(e.changedAt), e.changedBy,
                                                               deletedRecordSummary(historyValue(e.oldValue))});
                item->setData(0, Qt::UserRole, historyValue(e.oldValue));
            }
        } else {
            lstHistory_->setHeaderLabels({QStringLiteral("When"), QStringLiteral("By"), QStringLiteral("Field"),
                                          QStringLiteral("Old Value"), QStringLiteral("New Value")});
            if (currentId_ < 0)
                return;
            for (const HistoryEntry& e : readSurveyHistory(context_.db, currentId_)) {
                QString field = e.action == QLatin1String("changed") ? fieldLabel(e.field)
                                                                     : QStringLiteral("(%1)").arg(e.action);
                auto* item = new QTreeWidgetItem(lstHistory_, {shownDateTime(e.changedAt), e.changedBy, field,
                                                               historyValue(e.oldValue), historyValue(e.newValue)});
                item->setData(0, Qt::UserRole,
                              e.action == QLatin1String("changed")
                                  ? QStringLiteral("%1\n\nOld value:\n%2\n\nNew value:\n%3")
                                        .arg(field, historyValue(e.oldValue), historyValue(e.newValue))
                                  : field + QLatin1Char('\n') + historyValue(e.oldValue));
            }
        }
    } catch (const DbError& error) {
        txtHistoryDetail_->setPlainText(QStringLiteral("The history could not be read: %1").arg(error.message()));
    }
    for (int c = 0; c < lstHistory_->columnCount(); ++c)
        lstHistory_->resizeColumnToContents(c);
    // The latest entry is chosen, so that its whole text shows beside the list.
    if (const int count = lstHistory_->topLevelItemCount(); count > 0)
        lstHistory_->setCurrentItem(lstHistory_->topLevelItem(chkDeletedRecords_->isChecked() ? 0 : count - 1));
}

void frmEditTree::cmdExit_Click()
{
    close();
}

void frmEditTree::closeEvent(QCloseEvent* event)
{
    // A changed record is checked and written back when the window closes;
    // a record that cannot be stored keeps the window open on it.
    if (!leaveRecord()) {
        event->ignore();
        return;
    }
    // A sort still running off the window thread is stopped, and the window
    // closes once it has ended.
    if (model_->hasRunningSorts()) {
        event->ignore();
        closeWhenSorted_ = true;
        model_->stopSorting();
        return;
    }
    QWidget::closeEvent(event);
}

// ---------------------------------------------------------------- sizes

// The controls need pixels more width: the window widens as far as the
// screen has room, and scrolls beyond.
void frmEditTree::widenContent(int pixels)
{
    content_->setMinimumWidth(content_->minimumWidth() + pixels);
    resizeWithinScreen(this, QSize(width() + pixels, height()));
}

void frmEditTree::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

// The window is at least 8700 twips high and 10605 wide (the sizes of its
// client area; wider only where the desktop's font needs it, see Form_Load). The tab control takes the height above the sort
// frame and the buttons; the grid fills the list page between the search
// and its navigator.
void frmEditTree::Form_Resize()
{
    if (isMinimized())
        return;
    const QSize room = content_ ? content_->size() : size();
    const int heightTwips = std::max(pixelsToTwips(room.height()), MinimumHeightTwips);
    const int widthTwips = std::max(pixelsToTwips(room.width()), WindowWidthTwips);
    const int left = 120;
    const int top = 120;
    const int tabHeight = heightTwips - 2595;
    const int tabWidth = widthTwips - 350;
    const auto px = [](int twips) { return twipsToPixels(twips); };
    SSTab1_->setGeometry(px(left), px(top), px(tabWidth), px(tabHeight));

    const int sortTop = tabHeight + 300;
    const int sortWidth = 6600;
    frameSortBy_->setGeometry(px(left), px(sortTop), px(sortWidth), px(heightTwips - sortTop - 90));
    const int buttonsLeft = left + sortWidth + 120;
    const int buttonsWidth = left + tabWidth - buttonsLeft;
    frameButtons_->setGeometry(px(buttonsLeft), px(tabHeight + 250), px(buttonsWidth), px(405));
    const int saveWidth = (buttonsWidth - 90) / 2;
    cmdSave_->setGeometry(px(buttonsLeft), px(tabHeight + 700), px(saveWidth), px(405));
    cmdCancel_->setGeometry(px(buttonsLeft + saveWidth + 90), px(tabHeight + 700), px(saveWidth), px(405));

    const int gridLeft = 90;
    const int searchHeight = 390;
    const int gridTop = 90 + searchHeight;
    const int gridWidth = tabWidth - 300;
    const int gridHeight = tabHeight - 2000 - searchHeight;
    if (QWidget* search = SSTab1_->widget(0)->findChild<QWidget*>(QStringLiteral("frameSearch")))
        search->setGeometry(px(gridLeft), px(90), px(gridWidth), px(searchHeight - 30));
    DBGrid1_->setGeometry(px(gridLeft), px(gridTop), px(gridWidth), px(gridHeight));
    frameGridBottom_->setGeometry(px(gridLeft), px(gridTop + gridHeight + 30), px(gridWidth), px(450));
}

} // namespace kolva
