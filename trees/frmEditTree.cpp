#include "trees/frmEditTree.h"

#include "platform/busycursor.h"
#include "platform/controls.h"
#include "platform/keyfilter.h"
#include "platform/prompter.h"
#include "platform/twips.h"
#include "platform/windows.h"
#include "store/database.h"
#include "store/textroutines.h"
#include "trees/recordnavigator.h"
#include "trees/treelookups.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
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
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace kolva {

namespace {

// The designed size of the window, in twips.
constexpr int WindowWidthTwips = 10605;
constexpr int MinimumHeightTwips = 8700;

// The date picker shows its lowest date as an empty box: a record without a
// date of evaluation.
const QDate NoDate(1753, 1, 1);
const QString DayFormat = QStringLiteral("yyyy-MM-dd");

// A list that offers entries; with typing allowed it also takes any text.
QComboBox* makeList(const QString& name, const QString& accessibleName, bool typingAllowed, QWidget* parent)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->setAccessibleName(accessibleName);
    list->setEditable(typingAllowed);
    if (typingAllowed) {
        list->setInsertPolicy(QComboBox::NoInsert);
        list->setCompleter(nullptr); // typed text stays as typed
    }
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMinimumContentsLength(6);
    list->setMaxVisibleItems(20);
    return list;
}

// A trunk decay box left empty reads 0.
class ZeroWhenEmpty : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut) {
            if (auto* box = qobject_cast<QLineEdit*>(watched); box && box->text().isEmpty())
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

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const QString typed = event->text();
        const bool types = !typed.isEmpty() && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) &&
                           (typed.at(0) >= QLatin1Char(' ') || typed.at(0) == QLatin1Char('\r'));
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

// The "Poor Architecture" row of a page: lists cbo<stem>1 .. cbo<stem>count,
// then the page's columns and rows take their stretch.
void addArchitectureRow(QGridLayout* grid, const char* stem, int count, int row)
{
    QWidget* page = grid->parentWidget();
    const QString name = QString::fromLatin1(stem);
    auto* arch = makeLabel(QStringLiteral("lbl") + name, QStringLiteral("Poor Architecture"), page);
    auto* archRow = new QHBoxLayout;
    for (int i = 1; i <= count; ++i)
        archRow->addWidget(makeList(QStringLiteral("cbo%1%2").arg(name).arg(i),
                                    QStringLiteral("Poor Architecture %1").arg(i), true, page));
    arch->setBuddy(page->findChild<QWidget*>(QStringLiteral("cbo%1%2").arg(name).arg(1)));
    grid->addWidget(arch, row, 0);
    grid->addLayout(archRow, row, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(row + 1, 1);
}

} // namespace

frmEditTree::frmEditTree(AppContext context, QWidget* parent) : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("frmEditTree"));
    setWindowTitle(QStringLiteral("Edit/Delete Trees"));
    buildWindow();
    setFixedWidth(twipsToPixels(WindowWidthTwips));
    setMinimumHeight(twipsToPixels(MinimumHeightTwips));
    resize(twipsToPixels(WindowWidthTwips), twipsToPixels(MinimumHeightTwips));
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
    auto* lblFilter = makeLabel(QStringLiteral("lblFilterByStreet"), QStringLiteral("Filter by Street"), frameSortBy_);
    cboStreetFilter_ = makeList(QStringLiteral("cboStreetFilter"), lblFilter->text(), false, frameSortBy_);
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
    model_ = new TreeListModel(context_.db, this);
    DBGrid1_ = new QTableView(page);
    DBGrid1_->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1_->setAccessibleName(QStringLiteral("Tree List"));
    DBGrid1_->setModel(model_);
    DBGrid1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1_->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1_->setWordWrap(false);
    DBGrid1_->setAlternatingRowColors(true);
    DBGrid1_->verticalHeader()->setVisible(false);
    DBGrid1_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1_->verticalHeader()->setDefaultSectionSize(DBGrid1_->fontMetrics().height() + 6);
    DBGrid1_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1_->horizontalHeader()->setHighlightSections(false);
    const auto& columns = treeGridColumns();
    for (size_t c = 0; c < columns.size(); ++c) {
        int width = twipsToPixels(columns[c].widthTwips);
        // A date is never cut, whatever the size of the desktop's font.
        if (columns[c].field == QLatin1String("Date_Evaluated"))
            width = std::max(width, DBGrid1_->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000")) + 12);
        DBGrid1_->setColumnWidth(int(c), width);
    }
    connect(DBGrid1_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { DBGrid1_RowChange(current.isValid() ? current.row() : -1); });

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
    lblNumTrees_->setAccessibleName(Label2->text());
    lblNumTrees_->setMinimumWidth(twipsToPixels(900));
    QFont bold = lblNumTrees_->font();
    bold.setBold(true);
    lblNumTrees_->setFont(bold);
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
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageDetails"));
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
    const auto place = [grid](QLabel* caption, QWidget* control, int row, int column) {
        caption->setBuddy(control);
        grid->addWidget(caption, row, column * 2);
        grid->addWidget(control, row, column * 2 + 1);
    };

    txtTreeID_ = makeTextBox(QStringLiteral("txtTreeID"), QStringLiteral("Tree ID"), Frame1_);
    QFont bold = txtTreeID_->font();
    bold.setBold(true);
    txtTreeID_->setFont(bold);
    place(label("lblTreeID", "Tree ID"), txtTreeID_, 0, 0);

    auto* street = new QWidget(Frame1_);
    auto* streetRow = new QHBoxLayout(street);
    streetRow->setContentsMargins(0, 0, 0, 0);
    streetRow->setSpacing(3);
    txtStreetNum_ = makeTextBox(QStringLiteral("txtStreetNum"), QStringLiteral("#/Street number"), street);
    txtStreetNum_->setFixedWidth(twipsToPixels(600));
    cboStreetName_ = makeList(QStringLiteral("cboStreetName"), QStringLiteral("#/Street name"), false, street);
    streetRow->addWidget(txtStreetNum_);
    streetRow->addWidget(cboStreetName_, 1);
    auto* lblStreet = label("lblStreet", "#/Street");
    lblStreet->setBuddy(txtStreetNum_);
    grid->addWidget(lblStreet, 0, 2);
    grid->addWidget(street, 0, 3);

    lblRiskRating_ = makeLabel(QStringLiteral("lblRiskRating"), QString(), Frame1_);
    lblRiskRating_->setAccessibleName(QStringLiteral("Risk Rating"));
    lblRiskRating_->setFrameShape(QFrame::Panel);
    lblRiskRating_->setFrameShadow(QFrame::Sunken);
    lblRiskRating_->setAlignment(Qt::AlignCenter);
    lblRiskRating_->setFont(bold);
    place(label("lblRiskRatingCaption", "Risk Rating"), lblRiskRating_, 0, 2);

    cboSurveyor_ = makeList(QStringLiteral("cboSurveyor"), QStringLiteral("Surveyor"), true, Frame1_);
    place(label("lblSurveyor", "Surveyor"), cboSurveyor_, 1, 0);
    DTPicker1_ = new QDateEdit(Frame1_);
    DTPicker1_->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1_->setAccessibleName(QStringLiteral("Date"));
    DTPicker1_->setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
    DTPicker1_->setCalendarPopup(true);
    DTPicker1_->setMinimumDate(NoDate);
    DTPicker1_->setSpecialValueText(QStringLiteral(" "));
    place(label("lblDate", "Date"), DTPicker1_, 1, 1);
    txtDBH_ = makeTextBox(QStringLiteral("txtDBH"), QStringLiteral("DBH"), Frame1_);
    place(label("lblDBH", "DBH"), txtDBH_, 1, 2);

    cboSpecies_ = makeList(QStringLiteral("cboSpecies"), QStringLiteral("Species"), false, Frame1_);
    place(label("lblSpecies", "Species"), cboSpecies_, 2, 0);
    auto* cboUtility = makeList(QStringLiteral("cboUtility"), QStringLiteral("Utility Conflict"), true, Frame1_);
    place(label("lblUtility", "Utility Conflict"), cboUtility, 2, 1);
    txtSite_ = makeTextBox(QStringLiteral("txtSite"), QStringLiteral("Site"), Frame1_);
    place(label("lblSite", "Site"), txtSite_, 2, 2);

    auto* cboPhysical = makeList(QStringLiteral("cboPhysical"), QStringLiteral("Phys. Obstr."), true, Frame1_);
    place(label("lblPhysical", "Phys. Obstr."), cboPhysical, 3, 0);
    auto* cboVisual = makeList(QStringLiteral("cboVisual"), QStringLiteral("Visual Obstr."), true, Frame1_);
    place(label("lblVisual", "Visual Obstr."), cboVisual, 3, 1);
    cboLocation_ = makeList(QStringLiteral("cboLocation"), QStringLiteral("Location"), true, Frame1_);
    place(label("lblLocation", "Location"), cboLocation_, 3, 2);
    // The columns share the width by weight, so that the long names and
    // codes of the first column get the most of it.
    for (int row = 0; row < grid->rowCount(); ++row) {
        for (int column : {1, 3, 5}) {
            if (QLayoutItem* item = grid->itemAtPosition(row, column); item && item->widget()) {
                item->widget()->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
                item->widget()->setMinimumWidth(40);
            }
        }
    }
    grid->setColumnStretch(1, 8);
    grid->setColumnStretch(3, 6);
    grid->setColumnStretch(5, 4);
    outer->addWidget(Frame1_);

    SSTab2_ = new QTabWidget(page);
    SSTab2_->setObjectName(QStringLiteral("SSTab2"));
    SSTab2_->addTab(buildCrownPage(), QStringLiteral("Crown/Branches"));
    SSTab2_->addTab(buildTrunkPage(), QStringLiteral("Trunk"));
    SSTab2_->addTab(buildRootsPage(), QStringLiteral("Roots"));
    SSTab2_->addTab(buildRiskPage(), QStringLiteral("Risk Rating/Zone"));
    SSTab2_->addTab(buildCorrectivePage(), QStringLiteral("Corrective Actions"));
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
    auto* zero = new ZeroWhenEmpty(this);
    for (QLineEdit* box : {txtShell_, txtDiam_, txtPct_})
        box->installEventFilter(zero);
    return page;
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
    for (int q = 0; q < 4; ++q) {
        lblRiskTitle_[size_t(q)] = makeLabel(QStringLiteral("lblRiskTitle_%1").arg(q + 1), QString(), page);
        cboRisk_[size_t(q)] = makeList(QStringLiteral("cboRisk%1").arg(q + 1), QString(), true, page);
        lblRiskTitle_[size_t(q)]->setBuddy(cboRisk_[size_t(q)]);
        const int row = 1 + q / 2 * 2;
        const int column = q % 2;
        grid->addWidget(lblRiskTitle_[size_t(q)], row, column * 2, 1, 2);
        grid->addWidget(cboRisk_[size_t(q)], row + 1, column * 2, 1, 2);
        connect(cboRisk_[size_t(q)], &QComboBox::activated, this, [this] { ComputeRiskRating(); });
    }
    txtDescOtherRisk_ = new LimitedTextEdit(150, page);
    txtDescOtherRisk_->setObjectName(QStringLiteral("txtDescOtherRisk"));
    txtDescOtherRisk_->setAccessibleName(QStringLiteral("Description of the other risk"));
    txtDescOtherRisk_->setPlaceholderText(QStringLiteral("Description of the other risk"));
    txtDescOtherRisk_->setFixedHeight(txtDescOtherRisk_->fontMetrics().lineSpacing() * 2 + 12);
    grid->addWidget(txtDescOtherRisk_, 5, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(6, 1);
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
        grid->addWidget(chkCorrect_[size_t(i)], i % 3, i / 3);
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
    QCoreApplication::processEvents();

    // The list the window opens with, by tree number; the first activation
    // replaces it by the order of the sort option.
    {
        QScopedValueRollback syncing(syncingGrid_, true);
        try {
            model_->setSource(TreeListSource{-1, {}});
        } catch (const DbError&) {
            model_->clear();
        }
    }
    if (model_->rowCount() > 0)
        showRecord(0);
    else
        showNoRecord();
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

// Activation ends the loading and builds the list of the chosen sort
// option. Messages and the calendar that come and go over the window, and
// other programs, do not start another activation: the user stays on the
// record being edited.
void frmEditTree::Form_Activate()
{
    if (!IsLoading_ || !loaded_)
        return;
    IsLoading_ = false;
    RefreshTreeList();
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
        centreOnScreen(this);
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
    for (int i = 0; i < SortOptionCount; ++i) {
        if (optSortBy_[size_t(i)]->isChecked()) {
            source.sortOption = i;
            break;
        }
    }
    if (cboStreetFilter_->currentIndex() > 0)
        source.street = cboStreetFilter_->currentText();
    return source;
}

void frmEditTree::showChosenSource(const TreeListSource& source)
{
    for (int i = 0; i < SortOptionCount; ++i) {
        QSignalBlocker block(optSortBy_[size_t(i)]);
        optSortBy_[size_t(i)]->setChecked(i == source.sortOption);
    }
    QSignalBlocker block(cboStreetFilter_);
    const int at = source.street.isEmpty() ? 0 : cboStreetFilter_->findText(source.street, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    cboStreetFilter_->setCurrentIndex(std::max(0, at));
}

void frmEditTree::RefreshTreeList()
{
    if (refreshing_)
        return;
    // The record being left is written back first; when it cannot be, the
    // list and the choices that would rebuild it stay as they were.
    if (!saveChanges()) {
        showChosenSource(shownSource_);
        return;
    }
    QScopedValueRollback refreshing(refreshing_, true);
    BusyCursor busy;
    SSTab1_->setTabEnabled(1, true);
    const TreeListSource source = chosenSource();
    {
        QScopedValueRollback syncing(syncingGrid_, true);
        try {
            model_->setSource(source);
        } catch (const DbError& error) {
            model_->clear();
            busy.release();
            context_.prompter.warn(this, QStringLiteral("The list of trees could not be read.\n\n%1").arg(error.message()),
                                   windowTitle());
        }
    }
    shownSource_ = source;
    currentRow_ = -1;
    if (model_->rowCount() > 0) {
        setDetailsEnabled(true);
        showRecord(0);
    } else {
        setDetailsEnabled(false);
        showNoRecord();
    }
    lblNumTrees_->setText(formatEntryCount(model_->rowCount()));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    emit treeListRefreshed();
}

void frmEditTree::setDetailsEnabled(bool enabled)
{
    if (!enabled)
        SSTab1_->setCurrentIndex(0);
    SSTab1_->setTabEnabled(1, enabled);
}

void frmEditTree::optSortBy_Click(int)
{
    if (IsLoading_)
        return;
    RefreshTreeList();
}

void frmEditTree::cboStreetFilter_Click()
{
    if (IsLoading_)
        return;
    RefreshTreeList();
}

void frmEditTree::cmdRefresh_Click()
{
    if (IsLoading_)
        return;
    RefreshTreeList();
}

void frmEditTree::cmdEdit_Click()
{
    if (SSTab1_->isTabEnabled(1))
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

bool frmEditTree::moveToRow(int row)
{
    if (row < 0 || row >= model_->rowCount())
        return false;
    if (row == currentRow_) {
        selectGridRow(row);
        return true;
    }
    if (!saveChanges()) {
        selectGridRow(currentRow_);
        return false;
    }
    showRecord(row);
    return true;
}

void frmEditTree::showRecord(int row)
{
    currentRow_ = row;
    currentId_ = model_->idAt(row);
    std::optional<TreeRecord> record;
    try {
        record = readTreeRecord(context_.db, currentId_);
    } catch (const DbError&) {
    }
    stored_ = record.value_or(TreeRecord{});
    for (const Binding& b : bindings_) {
        showValue(b, shownValue(*b.column, stored_[b.column->name]));
        // What the control shows of the stored value counts as unchanged.
        shownStored_[b.column->name] = shownText(b);
    }
    // The boxes show the stored list, and the list then reads as the boxes
    // give it; a list written otherwise ("3, 1,3") is a change, written back
    // with the record.
    const QString storedList = shownValue(*findTreeColumn(QStringLiteral("CorrectiveActions")),
                                          stored_[QStringLiteral("CorrectiveActions")]);
    shownStored_[QStringLiteral("CorrectiveActions")] = storedList;
    const CorrectiveActionBoxes boxes = correctiveActionBoxes(storedList);
    setCorrectiveBoxes(boxes);
    txtCorrect_->setText(correctiveActionText(boxes));
    selectGridRow(row);
}

void frmEditTree::showNoRecord()
{
    currentRow_ = -1;
    currentId_ = -1;
    stored_.clear();
    for (const Binding& b : bindings_) {
        showValue(b, QString());
        shownStored_[b.column->name] = shownText(b);
    }
    setCorrectiveBoxes({});
    selectGridRow(-1);
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
    txtCorrect_->setText(correctiveActionText(boxes));
}

void frmEditTree::ComputeRiskRating()
{
    lblRiskRating_->setText(riskRatingText(
        {cboRisk_[0]->currentText(), cboRisk_[1]->currentText(), cboRisk_[2]->currentText(), cboRisk_[3]->currentText()}));
}

QString frmEditTree::shownText(const Binding& binding) const
{
    QWidget* c = binding.control;
    if (auto* box = qobject_cast<QLineEdit*>(c))
        return box->text();
    if (auto* list = qobject_cast<QComboBox*>(c))
        return list->currentText();
    if (auto* label = qobject_cast<QLabel*>(c))
        return label->text();
    if (auto* date = qobject_cast<QDateEdit*>(c))
        return date->date() == date->minimumDate() ? QString() : date->date().toString(DayFormat);
    if (auto* text = qobject_cast<QPlainTextEdit*>(c))
        return text->toPlainText();
    return {};
}

void frmEditTree::showValue(const Binding& binding, const QString& value)
{
    QWidget* c = binding.control;
    const QSignalBlocker block(c);
    if (auto* box = qobject_cast<QLineEdit*>(c)) {
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
    } else if (auto* label = qobject_cast<QLabel*>(c)) {
        label->setText(value);
    } else if (auto* date = qobject_cast<QDateEdit*>(c)) {
        const QDate day = QDate::fromString(value, DayFormat);
        date->setDate(day.isValid() ? day : date->minimumDate());
    } else if (auto* text = dynamic_cast<LimitedTextEdit*>(c)) {
        text->setLimit(std::max<int>(binding.maxLength, int(value.size())));
        text->setPlainText(value);
    }
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
        const auto original = stored_.find(name);
        changes.emplace_back(name, storedValue(*b.column, shown, original == stored_.end() ? QVariant() : original->second));
    }
    return changes;
}

bool frmEditTree::saveChanges()
{
    if (currentRow_ < 0)
        return true;
    try {
        const auto changes = pendingChanges();
        if (changes.empty())
            return true;
        writeTreeRecord(context_.db, currentId_, changes);
    } catch (const TreeRecordRefused& refused) {
        context_.prompter.warn(this, refused.userMessage() + QStringLiteral("\n\nCorrect it, or choose Cancel to "
                                                                            "go back to the record as it is stored."),
                               recordNotSavedCaption());
        if (QWidget* control = controlOf(refused.column())) {
            SSTab1_->setCurrentIndex(1);
            if (const int page = pageHolding(SSTab2_, control); page >= 0)
                SSTab2_->setCurrentIndex(page);
            control->setFocus();
        }
        return false;
    }
    // The record as now stored is the record the controls show.
    try {
        if (auto record = readTreeRecord(context_.db, currentId_))
            stored_ = *record;
    } catch (const DbError&) {
    }
    for (const Binding& b : bindings_)
        shownStored_[b.column->name] = shownText(b);
    model_->rowChanged(currentRow_);
    return true;
}

bool frmEditTree::ValidateAndSaveTree()
{
    if (currentRow_ < 0)
        return false;
    const TreeCheck check = checkTreeRecord(txtTreeID_->text(), cboSurveyor_->currentText());
    if (check != TreeCheck::Ok) {
        context_.prompter.message(this, treeCheckMessage(check));
        SSTab1_->setCurrentIndex(1);
        if (check == TreeCheck::MissingTreeId)
            txtTreeID_->setFocus();
        else
            cboSurveyor_->setFocus();
        return false;
    }
    return saveChanges();
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
    if (currentRow_ >= 0)
        showRecord(currentRow_);
}

void frmEditTree::cmdDelete_Click()
{
    if (IsLoading_ || model_->rowCount() == 0 || currentRow_ < 0)
        return;
    TreeRecord record = stored_;
    try {
        if (auto fresh = readTreeRecord(context_.db, currentId_))
            record = *fresh;
    } catch (const DbError&) {
    }
    const MsgAnswer answer = context_.prompter.message(
        this, deleteTreeMessage(record[QStringLiteral("Tree_ID")], record[QStringLiteral("Species")],
                                record[QStringLiteral("DBH")], record[QStringLiteral("Date_Evaluated")]));
    if (answer == MsgAnswer::Yes) {
        try {
            deleteTreeRecord(context_.db, currentId_);
            // The changes not yet saved went with the record.
            currentRow_ = -1;
            currentId_ = -1;
        } catch (const DbError& error) {
            context_.prompter.warn(this, QStringLiteral("The record was not deleted.\n\n%1").arg(error.message()),
                                   QStringLiteral("Confirm Delete"));
        }
    }
    setDetailsEnabled(model_->rowCount() > 0 && currentRow_ >= 0);
    RefreshTreeList();
}

void frmEditTree::cmdExit_Click()
{
    close();
}

void frmEditTree::closeEvent(QCloseEvent* event)
{
    // The record on the screen is written back when the window closes; a
    // record that cannot be stored keeps the window open on it.
    if (!saveChanges()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

// ---------------------------------------------------------------- sizes

void frmEditTree::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

// The window is at least 8700 twips high and always 10605 wide (the sizes
// of its client area). The tab control takes the height above the sort
// frame and the buttons; the grid fills the list page above its navigator.
void frmEditTree::Form_Resize()
{
    if (isMinimized())
        return;
    const int heightTwips = std::max(pixelsToTwips(height()), MinimumHeightTwips);
    const int widthTwips = WindowWidthTwips;
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
    const int gridTop = 90;
    const int gridWidth = tabWidth - 300;
    const int gridHeight = tabHeight - 2000;
    DBGrid1_->setGeometry(px(gridLeft), px(gridTop), px(gridWidth), px(gridHeight));
    frameGridBottom_->setGeometry(px(gridLeft), px(gridTop + gridHeight + 30), px(gridWidth), px(450));
}

} // namespace kolva
