#include "trees/frmEditTree.h"

#include "platform/busycursor.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/prompter.h"
#include "platform/settings.h"
#include "platform/twips.h"
#include "platform/windows.h"
#include "store/context.h"
#include "store/database.h"
#include "store/dates.h"
#include "trees/datebox.h"
#include "trees/editorcontrols.h"
#include "trees/recordnavigator.h"
#include "trees/treeassessmentpages.h"
#include "trees/treedetailspage.h"
#include "trees/treehistorypage.h"
#include "trees/treelistpage.h"
#include "trees/treesortframe.h"
#include "trees/treemap.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

namespace kolva {

namespace {

// The designed size of the window, in twips.
constexpr int WindowWidthTwips = 10605;
constexpr int MinimumHeightTwips = 8700;

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

void frmEditTree::buildWindow()
{
    model_ = new TreeListModel(context_.db, this);
    listPage_ = new TreeListPage(model_);
    connectListPage();
    detailsPage_ = new TreeDetailsPage;
    connectDetailsPage();
    SSTab1_ = new QTabWidget(this);
    SSTab1_->setObjectName(QStringLiteral("SSTab1"));
    SSTab1_->addTab(listPage_, QStringLiteral("Tree List"));
    SSTab1_->addTab(detailsPage_, QStringLiteral("Details"));
    SSTab1_->addTab(new TreeMapPage(context_, *this), QStringLiteral("Map"));

    frameSortBy_ = new TreeSortFrame(this);
    connect(frameSortBy_, &TreeSortFrame::optionChosen, this, &frmEditTree::optSortBy_Click);
    connect(frameSortBy_, &TreeSortFrame::streetChosen, this, &frmEditTree::cboStreetFilter_Click);

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

    setTabOrder(SSTab1_, frameSortBy_->firstOption());
}

void frmEditTree::connectListPage()
{
    connect(listPage_, &TreeListPage::searchWanted, this, &frmEditTree::txtSearch_Change);
    connect(listPage_, &TreeListPage::searchEmptied, this, [this] {
        if (shownSource_.search.kind != TreeSearch::Kind::None)
            listPage_->startSearchDelay();
    });
    connect(model_, &TreeListModel::readFailed, this, [this](const QString& message) {
        withNormalPointer([&] {
            warn(QStringLiteral("The list of trees could not be read whole; rows that could not be read show empty. "
                                "Press Refresh to read it again.\n\n%1")
                     .arg(message));
        });
    });
    connect(model_, &TreeListModel::firstRowsRead, this, &frmEditTree::followCurrentRecord);
    connect(model_, &TreeListModel::loaded, this, [this] {
        // The sorted list may hold other records than counted (another
        // program wrote meanwhile, or the sort was stopped).
        listPage_->setEntryCount(model_->rowCount());
        followCurrentRecord();
    });
    connect(model_, &TreeListModel::sortsStopped, this, [this] {
        if (closeWhenSorted_) {
            closeWhenSorted_ = false;
            close();
        }
    });
    connect(listPage_, &TreeListPage::titleClicked, this, &frmEditTree::DBGrid1_HeaderClick);
    connect(listPage_, &TreeListPage::columnResized, this, [this] {
        if (loaded_)
            columnsResizedByUser_ = true;
    });
    connect(listPage_, &TreeListPage::rowChanged, this, &frmEditTree::DBGrid1_RowChange);
    connect(listPage_, &TreeListPage::rowOpened, this, &frmEditTree::cmdEdit_Click);

    RecordNavigator* navigator = listPage_->navigator();
    connect(navigator, &RecordNavigator::firstClicked, this, [this] { moveToRow(0); });
    connect(navigator, &RecordNavigator::previousClicked, this, [this] { moveToRow(std::max(0, currentRow_ - 1)); });
    connect(navigator, &RecordNavigator::nextClicked, this,
            [this] { moveToRow(std::min(model_->rowCount() - 1, currentRow_ + 1)); });
    connect(navigator, &RecordNavigator::lastClicked, this, [this] { moveToRow(model_->rowCount() - 1); });
    connect(listPage_->refreshButton(), &QPushButton::clicked, this, &frmEditTree::cmdRefresh_Click);
}

void frmEditTree::connectDetailsPage()
{
    detailsPage_->bindControls(record_);
    connect(detailsPage_->date(), &DateBox::notADate, this, &frmEditTree::DTPicker1_NotADate);
    connect(detailsPage_->pages(), &QTabWidget::currentChanged, this, [this] { showHistory(); });
    connect(detailsPage_->historyPage(), &TreeHistoryPage::choiceChanged, this, [this] { showHistory(); });
    connect(detailsPage_->riskPage(), &TreeRiskPage::answerChosen, this, [this] { ComputeRiskRating(); });
    connect(detailsPage_->previousButton(), &QPushButton::clicked, this, &frmEditTree::cmdPrevious_Click);
    connect(detailsPage_->nextButton(), &QPushButton::clicked, this, &frmEditTree::cmdNext_Click);
}

void frmEditTree::Form_Load()
{
    IsLoading_ = true;
    BusyCursor busy;
    try {
        detailsPage_->fillReferenceLists(context_.db,
                                         [this](const QStringList& streets) { frameSortBy_->setStreets(streets); });
    } catch (const DbError& error) {
        busy.release();
        warn(QStringLiteral("The lists of the Tree editor could not be read.\n\n%1").arg(error.message()));
    }
    detailsPage_->fillCodedLists();
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
            warn(QStringLiteral("The list of trees could not be read.\n\n%1").arg(error.message()));
        }
    }
    shownSource_ = model_->source();
    listPage_->setEntryCount(model_->rowCount());
    showFirstRecord();
    QCoreApplication::processEvents();
    SSTab1_->setCurrentIndex(0);
    loaded_ = true;
}

// The grid shows the longest names of the lists whole and fits the width of
// the page without a horizontal scroll bar. Gives the pixels it still lacks.
int frmEditTree::fitGridColumns()
{
    return listPage_->fitGridColumns(detailsPage_->species(), detailsPage_->surveyor(), detailsPage_->streetName());
}

// The window opens large enough for the "Details" page to show every value
// of the longest supplied lists whole, without scrolling: wider and taller
// than designed where the desktop's font needs it. The user can still make
// it as small as designed; the page then scrolls.
void frmEditTree::fitWindowToDetails()
{
    // The pages share one area; the list page, which shows, has its size.
    const QSize room = SSTab1_->widget(0)->size();
    const QSize need = detailsPage_->widget()->minimumSizeHint();
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

TreeListSource frmEditTree::chosenSource() const
{
    TreeListSource source;
    if (sortColumn_ >= 0) {
        source.sortColumn = sortColumn_;
        source.sortOrder = sortOrder_;
    } else if (const int option = frameSortBy_->chosenOption(); option >= 0) {
        source.sortOption = option;
    }
    source.street = frameSortBy_->chosenStreet();
    source.search = parseTreeSearch(listPage_->search()->text(), detailsPage_->streetNames(), detailsPage_->speciesNames());
    return source;
}

void frmEditTree::showChosenSource(const TreeListSource& source)
{
    frameSortBy_->showSource(source);
    sortColumn_ = source.sortColumn;
    sortOrder_ = source.sortOrder;
    listPage_->showSortColumn(sortColumn_, sortOrder_);
}

void frmEditTree::RefreshTreeList()
{
    refreshList(true);
}

void frmEditTree::refreshList(bool force, bool recount)
{
    if (refreshing_)
        return;
    listPage_->stopSearchDelay();
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
    const BoundStatement wanted = treeListStatement(context_.db, source);
    const BoundStatement shown = treeListStatement(context_.db, model_->source());
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
            warn(QStringLiteral("The list of trees could not be read.\n\n%1").arg(error.message()));
        }
        if (!kept)
            currentRow_ = -1;
    }
    shownSource_ = source;
    showChosenSource(source);
    if (kept) {
        selectGridRow(currentRow_);
        if (currentRow_ >= 0)
            listPage_->grid()->scrollTo(model_->index(currentRow_, 0));
        updateRecordButtons();
    } else if (model_->rowCount() > 0 && same && currentRow_ >= 0) {
        setDetailsEnabled(true);
    } else {
        showFirstRecord();
    }
    listPage_->setEntryCount(model_->rowCount());
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
    listPage_->search()->setFocus();
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
    QTableView* grid = listPage_->grid();
    if (row < 0) {
        grid->selectionModel()->clear();
        return;
    }
    const int column = std::max(0, grid->currentIndex().column());
    grid->setCurrentIndex(model_->index(row, column));
}

void frmEditTree::DBGrid1_RowChange(int row)
{
    if (syncingGrid_ || row < 0)
        return;
    if (!moveToRow(row))
        selectGridRow(currentRow_);
}

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
        withNormalPointer([&] { warn(recordNotReadMessage(error)); });
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
    listPage_->grid()->scrollTo(model_->index(row, 0));
}

bool frmEditTree::showRecordOf(qint64 id, int row)
{
    std::optional<TreeRecord> record;
    try {
        if (id >= 0)
            record = readTreeRecord(context_.db, id);
    } catch (const DbError& error) {
        // The record shown stays, so that the user can try again.
        withNormalPointer([&] { warn(recordNotReadMessage(error)); });
        return false;
    }
    if (!record) {
        withNormalPointer([&] { warn(recordGoneMessage(context_.db, id)); });
        return false;
    }
    currentRow_ = row;
    currentId_ = id;
    followId_ = -1;
    SSTab1_->setTabEnabled(1, true);
    record_.show(*record);
    // The boxes show the stored list; the list itself stays as stored until
    // the user clicks a box.
    detailsPage_->correctivePage()->showBoxesOfCodes();
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
    record_.showNone();
    detailsPage_->correctivePage()->clearBoxes();
    selectGridRow(-1);
    updateRecordButtons();
    showHistory();
    emit currentRecordChanged(-1);
}

void frmEditTree::ComputeRiskRating()
{
    detailsPage_->computeRiskRating();
}

bool frmEditTree::hasPendingChanges() const
{
    return currentId_ >= 0 && record_.isDirty();
}

void frmEditTree::focusControl(QWidget* control)
{
    if (!control)
        return;
    SSTab1_->setCurrentIndex(1);
    detailsPage_->revealControl(control);
    control->setFocus();
}

bool frmEditTree::saveChanges()
{
    if (currentId_ < 0)
        return true;
    TreeRecord written;
    try {
        const auto changes = record_.changes();
        if (changes.empty())
            return true;
        if (context_.db.readOnly()) {
            context_.prompter.warn(this,
                                   readOnlyMessage(context_.db.userName())
                                       + QStringLiteral("\n\nChoose Cancel to go back to the record as it is stored."),
                                   recordNotSavedCaption());
            return false;
        }
        // The list is read to its end before the database changes under it.
        model_->finishLoading();
        written = writeTreeRecord(context_.db, currentId_, changes, record_.stored(), {context_.clock.now(), operatingSystemUser()});
    } catch (const TreeRecordChanged& changed) {
        // Another window or program changed the record since it was shown.
        if (context_.prompter.message(this, treeRecordChangedMessage(changed.conflicts())) == MsgAnswer::Yes) {
            showRecordOf(currentId_, currentRow_);
        } else {
            // The user has been told: the next save writes over the other change.
            for (const TreeFieldConflict& conflict : changed.conflicts())
                record_.acceptStored(conflict.column, conflict.stored);
        }
        return false;
    } catch (const TreeRecordRefused& refused) {
        // A value at fault is corrected; a row the database refused (held by
        // another program, say) can be saved again later.
        const QString advice = refused.column().isEmpty() ? QStringLiteral("Save again later")
                                                          : QStringLiteral("Correct it");
        context_.prompter.warn(this,
                               refused.userMessage() + QStringLiteral("\n\n%1, or choose Cancel to go back to the "
                                                                      "record as it is stored.").arg(advice),
                               recordNotSavedCaption());
        focusControl(record_.controlOf(refused.column()));
        return false;
    }
    // The record as now stored is the record the controls show.
    record_.saved(written);
    model_->rowChanged(currentRow_);
    showHistory();
    return true;
}

bool frmEditTree::leaveRecord()
{
    if (!hasPendingChanges())
        return true;
    // One check for every way of leaving a changed record.
    const TreeCheck check = checkTreeRecord(detailsPage_->treeId()->text(), detailsPage_->surveyor()->currentText());
    if (check != TreeCheck::Ok) {
        context_.prompter.message(this, treeCheckMessage(check));
        focusControl(check == TreeCheck::MissingTreeId ? static_cast<QWidget*>(detailsPage_->treeId())
                                                       : detailsPage_->surveyor());
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
    focusControl(detailsPage_->date());
}

void frmEditTree::cmdDelete_Click()
{
    if (IsLoading_ || model_->rowCount() == 0 || currentId_ < 0)
        return;
    if (changeRefused(context_, this, QStringLiteral("Confirm Delete")))
        return;
    // The question names the record as the window shows it.
    const QDate day = detailsPage_->date()->date();
    const MsgAnswer answer = context_.prompter.message(
        this, deleteTreeMessage(detailsPage_->treeId()->text(), detailsPage_->species()->currentText(),
                                detailsPage_->dbh()->text(),
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
    listPage_->setEntryCount(model_->rowCount());
    if (model_->rowCount() == 0 || !showRecord(std::min(row, model_->rowCount() - 1))) {
        setDetailsEnabled(false);
        showNoRecord();
    }
}

void frmEditTree::showHistory()
{
    // The history is read while its page shows.
    if (detailsPage_ && detailsPage_->historyShows())
        detailsPage_->historyPage()->showHistory(context_.db, currentId_);
}

void frmEditTree::warn(const QString& text)
{
    context_.prompter.warn(this, text, windowTitle());
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
// client area; wider only where the desktop's font needs it, see Form_Load).
// The tab control takes the height above the sort frame and the buttons.
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

    listPage_->layOut(tabWidth, tabHeight);
}

} // namespace kolva
