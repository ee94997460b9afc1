#include "lists/frmLookupList.h"

#include "lists/uppercase.h"
#include "platform/settings.h"
#include "platform/controls.h"
#include "platform/prompter.h"
#include "platform/windows.h"
#include "store/context.h"
#include "store/database.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace kolva {

namespace {

// A name box takes as many characters as the lists of earlier versions held.
constexpr int NameMaxLength = 50;

QPushButton* makeFormButton(const QString& name, const QString& text, QWidget* parent)
{
    QPushButton* button = makeButton(name, text, parent);
    button->setAutoDefault(true); // Enter presses the button that has the focus
    return button;
}

} // namespace

frmLookupList::frmLookupList(AppContext context, LookupKind kind, QWidget* parent)
    : QWidget(parent), context_(context), info_(lookupListInfo(kind))
{
    setObjectName(info_.windowName);
    setWindowTitle(info_.designCaption);
    model_ = new LookupListModel(context_.db, kind, this);

    auto* outer = new QVBoxLayout(this);
    frames_ = new QStackedWidget(this);
    outer->addWidget(frames_);

    // Browse mode: the grid, the find box and the buttons.
    frameMain_ = new QWidget;
    frameMain_->setObjectName(QStringLiteral("frameMain"));
    auto* mainRow = new QHBoxLayout(frameMain_);
    mainRow->setContentsMargins(0, 0, 0, 0);
    DBGrid1_ = new QTableView(frameMain_);
    DBGrid1_->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1_->setAccessibleName(info_.columnHeader);
    DBGrid1_->setModel(model_);
    DBGrid1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1_->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1_->setTabKeyNavigation(false);
    DBGrid1_->setWordWrap(false);
    DBGrid1_->setTextElideMode(Qt::ElideRight);
    DBGrid1_->horizontalHeader()->setStretchLastSection(true);
    DBGrid1_->horizontalHeader()->setHighlightSections(false);
    DBGrid1_->verticalHeader()->setVisible(false);
    DBGrid1_->verticalHeader()->setDefaultSectionSize(DBGrid1_->fontMetrics().height() + 6);
    DBGrid1_->setMinimumSize(260, 300);
    mainRow->addWidget(DBGrid1_, 1);

    auto* side = new QVBoxLayout;
    auto* Frame1 = new QGroupBox(QStringLiteral("Find "), frameMain_);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* findLayout = new QVBoxLayout(Frame1);
    txtFind_ = makeTextBox(QStringLiteral("txtFind"), QStringLiteral("Find"), Frame1);
    makeUpperCase(txtFind_);
    cmdFind_ = makeFormButton(QStringLiteral("cmdFind"), QStringLiteral("&Find"), Frame1);
    findLayout->addWidget(txtFind_);
    findLayout->addWidget(cmdFind_);
    side->addWidget(Frame1);
    side->addSpacing(12);
    cmdAdd_ = makeFormButton(QStringLiteral("cmdAdd"), QStringLiteral("&Add"), frameMain_);
    cmdEdit_ = makeFormButton(QStringLiteral("cmdEdit"), QStringLiteral("&Edit"), frameMain_);
    cmdDelete_ = makeFormButton(QStringLiteral("cmdDelete"), QStringLiteral("&Delete"), frameMain_);
    for (QPushButton* b : {cmdAdd_, cmdEdit_, cmdDelete_})
        side->addWidget(b);
    side->addStretch(1);
    cmdExit_ = makeFormButton(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), frameMain_);
    side->addWidget(cmdExit_);
    mainRow->addLayout(side);
    frames_->addWidget(frameMain_);

    // Edit mode: the name and Save/Cancel.
    auto* editPage = new QWidget;
    auto* editLayout = new QVBoxLayout(editPage);
    editLayout->setContentsMargins(0, 0, 0, 0);
    frameEdit_ = new QGroupBox(editPage);
    frameEdit_->setObjectName(QStringLiteral("frameEdit"));
    auto* editGrid = new QVBoxLayout(frameEdit_);
    const LabelledTextBox name =
        makeLabelledTextBox(QStringLiteral("Label2"), QStringLiteral("Name"), QStringLiteral("txtDescription"), frameEdit_);
    txtDescription_ = name.box;
    txtDescription_->setMaxLength(NameMaxLength);
    makeUpperCase(txtDescription_);
    editGrid->addWidget(name.label);
    editGrid->addWidget(txtDescription_);
    auto* editButtons = new QHBoxLayout;
    cmdSave_ = makeFormButton(QStringLiteral("cmdSave"), QStringLiteral("&Save"), frameEdit_);
    cmdCancel_ = makeFormButton(QStringLiteral("cmdCancel"), QStringLiteral("&Cancel"), frameEdit_);
    editButtons->addStretch(1);
    editButtons->addWidget(cmdSave_);
    editButtons->addWidget(cmdCancel_);
    editGrid->addLayout(editButtons);
    editLayout->addWidget(frameEdit_);
    editLayout->addStretch(1);
    frames_->addWidget(editPage);

    setTabOrder(DBGrid1_, txtFind_);
    setTabOrder(txtFind_, cmdFind_);
    setTabOrder(cmdFind_, cmdAdd_);
    setTabOrder(cmdAdd_, cmdEdit_);
    setTabOrder(cmdEdit_, cmdDelete_);
    setTabOrder(cmdDelete_, cmdExit_);
    setTabOrder(txtDescription_, cmdSave_);
    setTabOrder(cmdSave_, cmdCancel_);

    connect(cmdFind_, &QPushButton::clicked, this, &frmLookupList::cmdFind_Click);
    connect(txtFind_, &QLineEdit::returnPressed, this, &frmLookupList::cmdFind_Click);
    connect(cmdAdd_, &QPushButton::clicked, this, &frmLookupList::cmdAdd_Click);
    connect(cmdEdit_, &QPushButton::clicked, this, &frmLookupList::cmdEdit_Click);
    connect(DBGrid1_, &QAbstractItemView::doubleClicked, this, [this] {
        if (cmdEdit_->isEnabled())
            cmdEdit_Click();
    });
    connect(cmdDelete_, &QPushButton::clicked, this, &frmLookupList::cmdDelete_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdSave_, &QPushButton::clicked, this, &frmLookupList::cmdSave_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &frmLookupList::cmdCancel_Click);
    // Enter in the name box moves on to the next control, as Tab does.
    connect(txtDescription_, &QLineEdit::returnPressed, this, [this] { focusNextChild(); });

    resize(640, 480); // a name of 50 characters shows whole
}

int frmLookupList::currentRow() const
{
    const QModelIndex current = DBGrid1_->currentIndex();
    return current.isValid() ? current.row() : -1;
}

bool frmLookupList::editing() const
{
    return frames_->currentIndex() == 1;
}

void frmLookupList::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        placeWindow(this, context_.settings);
        Form_Activate();
    }
}

void frmLookupList::Form_Activate()
{
    showMainFrame();
    if (!info_.activeCaption.isEmpty())
        setWindowTitle(info_.activeCaption);
    reread();
}

void frmLookupList::showMainFrame()
{
    frames_->setCurrentIndex(0);
}

void frmLookupList::showEditFrame(const QString& caption)
{
    frameEdit_->setTitle(caption);
    frames_->setCurrentIndex(1);
    txtDescription_->setFocus();
}

void frmLookupList::setCurrentRow(int row)
{
    if (row < 0 || row >= model_->rowCount()) {
        DBGrid1_->setCurrentIndex({});
        DBGrid1_->clearSelection();
        return;
    }
    const QModelIndex index = model_->index(row, 0);
    DBGrid1_->setCurrentIndex(index);
    DBGrid1_->selectRow(row);
    DBGrid1_->scrollTo(index);
}

void frmLookupList::enableRowButtons()
{
    const bool any = model_->rowCount() > 0;
    cmdEdit_->setEnabled(any);
    cmdDelete_->setEnabled(any);
}

void frmLookupList::reread()
{
    const int row = currentRow();
    rereadAt(row >= 0 ? model_->rowAt(row).id : -1);
}

void frmLookupList::rereadAt(qint64 id)
{
    try {
        model_->reload();
    } catch (const DbError& error) {
        context_.prompter.warn(this,
                               QStringLiteral("The list could not be read from the database.\n\n") + error.message(),
                               windowTitle());
    }
    const int again = model_->rowOfId(id);
    setCurrentRow(again >= 0 ? again : (model_->rowCount() > 0 ? 0 : -1));
    enableRowButtons();
}

void frmLookupList::cmdFind_Click()
{
    const QString text = txtFind_->text();
    if (text.isEmpty()) {
        context_.prompter.inform(this, QStringLiteral("Nothing to find. Please enter a search code"),
                                 QStringLiteral("Search Error"));
        txtFind_->setFocus();
        return;
    }
    const int row = model_->findFirst(text);
    if (row < 0) {
        context_.prompter.inform(this, QStringLiteral("Name : ") + text + QStringLiteral(" was NOT found."),
                                 QStringLiteral("Not Found"));
        return;
    }
    setCurrentRow(row);
    txtFind_->clear();
}

void frmLookupList::cmdAdd_Click()
{
    if (changeRefused(context_, this, windowTitle()))
        return;
    adding_ = true;
    txtDescription_->setMaxLength(NameMaxLength);
    txtDescription_->clear();
    showEditFrame(QStringLiteral("Adding "));
}

void frmLookupList::cmdEdit_Click()
{
    const int row = currentRow();
    if (row < 0 || changeRefused(context_, this, windowTitle()))
        return;
    adding_ = false;
    const QString name = model_->rowAt(row).description;
    // A longer stored name shows whole, so that saving it unchanged keeps it.
    txtDescription_->setMaxLength(std::max<int>(NameMaxLength, int(name.size())));
    txtDescription_->setText(name);
    showEditFrame(QStringLiteral("Editing"));
}

bool frmLookupList::writeName(const QString& name, qint64& id)
{
    for (;;) {
        try {
            if (adding_)
                id = model_->insertName(name);
            else
                model_->renameId(id, name);
            return true;
        } catch (const DbError& error) {
            MessageRequest question;
            question.text = QStringLiteral("A Data Error Has Occurred! ") + error.message() +
                            QStringLiteral("\nDo you want to try again?");
            question.caption = QStringLiteral("Error");
            question.icon = MsgIcon::Exclamation;
            question.buttons = MsgButtons::YesNo;
            question.defaultButton = MsgAnswer::Yes;
            if (context_.prompter.message(this, question) != MsgAnswer::Yes)
                return false;
        }
    }
}

void frmLookupList::cmdSave_Click()
{
    const QString name = lookupNameToStore(txtDescription_->text());
    if (name.isEmpty()) {
        context_.prompter.warn(this, QStringLiteral("Name Cannot be Blank."), QStringLiteral("Name Error"));
        txtDescription_->setFocus();
        return;
    }
    if (!adding_ && currentRow() < 0)
        return;
    qint64 id = adding_ ? -1 : model_->rowAt(currentRow()).id;
    if (!writeName(name, id)) {
        // Nothing was written: the name stays in the box to correct or cancel.
        txtDescription_->setFocus();
        return;
    }
    showMainFrame();
    adding_ = false;
    rereadAt(id);
    DBGrid1_->setFocus();
}

void frmLookupList::cmdCancel_Click()
{
    showMainFrame();
    // Nothing was written while adding, so the list is as it was; the
    // species and risk zone editors read it again all the same.
    if (!adding_ || info_.cancelRereadsAlways)
        reread();
    adding_ = false;
    DBGrid1_->setFocus();
}

void frmLookupList::cmdDelete_Click()
{
    const int row = currentRow();
    if (row < 0 || changeRefused(context_, this, QStringLiteral("Confirm Delete")))
        return;
    MessageRequest question;
    question.text = QStringLiteral("Delete  ") + model_->rowAt(row).description + QStringLiteral("?") +
                    QStringLiteral("\n               ARE YOU SURE? ");
    question.caption = QStringLiteral("Confirm Delete");
    question.icon = MsgIcon::Question;
    question.buttons = MsgButtons::YesNo;
    question.defaultButton = MsgAnswer::Yes;
    if (context_.prompter.message(this, question) == MsgAnswer::Yes) {
        try {
            model_->deleteId(model_->rowAt(row).id);
        } catch (const DbError& error) {
            context_.prompter.warn(this, QStringLiteral("The name could not be deleted.\n\n") + error.message(),
                                   QStringLiteral("Error"));
        }
    }
    rereadAt(-1);
    const int count = model_->rowCount();
    if (count == 0)
        setCurrentRow(-1);
    else if (info_.deleteKeepsPosition)
        setCurrentRow(std::min(row, count - 1)); // the last row when the deleted one was last
    else
        setCurrentRow(0);
    enableRowButtons();
}

} // namespace kolva
