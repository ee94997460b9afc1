#include "lists/frmStreetList.h"

#include "lists/frmImportStreets.h"
#include "lists/streets.h"
#include "platform/settings.h"
#include "platform/busycursor.h"
#include "platform/controls.h"
#include "platform/prompter.h"
#include "store/context.h"
#include "store/database.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace kolva {

frmStreetList::frmStreetList(AppContext context, QWidget* parent) : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("frmStreetList"));
    setWindowTitle(QStringLiteral("Street Listing"));

    auto* outer = new QHBoxLayout(this);
    List1_ = makeCheckList(QStringLiteral("List1"), QStringLiteral("Streets (ticked: sent to the PDA)"), this);
    List1_->setSelectionMode(QAbstractItemView::SingleSelection);
    List1_->setMinimumSize(280, 360);
    outer->addWidget(List1_, 1);

    // The buttons in a framed panel beside the list, a line above Exit.
    auto* Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFrameShape(QFrame::StyledPanel);
    auto* side = new QVBoxLayout(Shape1);
    cmdAdd_ = makeButton(QStringLiteral("cmdAdd"), QStringLiteral("&Add"), Shape1);
    Command1_ = makeButton(QStringLiteral("Command1"), QStringLiteral("&Delete Selected"), Shape1);
    cmdDeleteAl_ = makeButton(QStringLiteral("cmdDeleteAl"), QStringLiteral("&Delete All"), Shape1);
    cmdPDA_ = makeButton(QStringLiteral("cmdPDA"), QStringLiteral("&Create File for PDAs"), Shape1);
    cmdImport_ = makeButton(QStringLiteral("cmdImport"), QStringLiteral("Import a Street List from an Excel File"), Shape1);
    cmdExit_ = makeButton(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), Shape1);
    for (QPushButton* b : {cmdAdd_, Command1_, cmdDeleteAl_, cmdPDA_, cmdImport_, cmdExit_})
        b->setAutoDefault(true); // Enter presses the button that has the focus
    side->addWidget(cmdAdd_);
    side->addWidget(Command1_);
    side->addWidget(cmdDeleteAl_);
    side->addSpacing(10);
    side->addWidget(cmdPDA_);
    auto* Label2 = makeLabel(QStringLiteral("Label2"),
                             QStringLiteral("Make sure you click the \"Create File for PDA\" button if you are going to "
                                            "transfer your selections to the Pocket  PC device."),
                             Shape1);
    Label2->setWordWrap(true);
    Label2->setMaximumWidth(240);
    side->addWidget(Label2);
    side->addSpacing(10);
    side->addWidget(cmdImport_);
    side->addStretch(1);
    auto* Line1 = new QFrame(Shape1);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    side->addWidget(Line1);
    side->addWidget(cmdExit_);
    outer->addWidget(Shape1);

    connect(List1_, &QListWidget::itemChanged, this, &frmStreetList::List1_ItemCheck);
    connect(List1_, &QListWidget::itemSelectionChanged, this, &frmStreetList::enableDeleteSelected);
    connect(cmdAdd_, &QPushButton::clicked, this, &frmStreetList::cmdAdd_Click);
    connect(Command1_, &QPushButton::clicked, this, &frmStreetList::Command1_Click);
    connect(cmdDeleteAl_, &QPushButton::clicked, this, &frmStreetList::cmdDeleteAl_Click);
    connect(cmdPDA_, &QPushButton::clicked, this, &frmStreetList::cmdPDA_Click);
    connect(cmdImport_, &QPushButton::clicked, this, &frmStreetList::cmdImport_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &QWidget::close);

    resize(560, 480);
    enableDeleteSelected();
}

void frmStreetList::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        placeWindow(this, context_.settings);
        FillStreetChecklist(); // also when the street import gives the window back
    }
}

void frmStreetList::reportError(const QString& what, const QString& message)
{
    context_.prompter.warn(this, what + QStringLiteral("\n\n") + message, windowTitle());
}

void frmStreetList::FillStreetChecklist()
{
    const QListWidgetItem* highlighted = highlightedItem();
    const QString keep = highlighted ? highlighted->text() : QString();
    std::vector<Street> streets;
    try {
        streets = readStreets(context_.db);
    } catch (const DbError& error) {
        reportError(QStringLiteral("The street list could not be read."), error.message());
    }
    filling_ = true;
    List1_->setUpdatesEnabled(false);
    List1_->clear();
    QListWidgetItem* again = nullptr;
    for (const Street& street : streets) {
        QListWidgetItem* item = addCheckItem(List1_, street.name, street.sendToPda);
        if (!keep.isEmpty() && street.name == keep)
            again = item;
    }
    if (again) {
        List1_->setCurrentItem(again);
        List1_->scrollToItem(again);
    }
    List1_->setUpdatesEnabled(true);
    filling_ = false;
    enableDeleteSelected();
}

void frmStreetList::enableDeleteSelected()
{
    Command1_->setEnabled(highlightedItem() != nullptr);
}

QListWidgetItem* frmStreetList::highlightedItem() const
{
    const QList<QListWidgetItem*> selected = List1_->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void frmStreetList::List1_ItemCheck(QListWidgetItem* item)
{
    if (filling_ || !item)
        return;
    const QString name = item->text();
    const bool send = item->checkState() == Qt::Checked;
    if (changeRefused(context_, this, windowTitle())) {
        FillStreetChecklist(); // the tick goes back to what is stored
        return;
    }
    try {
        if (setSendToPda(context_.db, name, send))
            return;
        // Gone from the table since the list was filled.
        context_.prompter.message(this, {QStringLiteral("Unexpected Error"), name.left(StreetNameMaxLength)});
    } catch (const DbError& error) {
        reportError(QStringLiteral("The tick of ") + name + QStringLiteral(" could not be saved."), error.message());
    }
    FillStreetChecklist();
}

void frmStreetList::cmdAdd_Click()
{
    if (changeRefused(context_, this, QStringLiteral("Add Street Name")))
        return;
    InputRequest request;
    request.title = QStringLiteral("Add Street Name");
    request.prompt = QStringLiteral("Enter the Street Name to Add (Don't use COMMAS or APOSTROPHES!)");
    const std::optional<QString> answer = context_.prompter.inputText(this, request);
    if (!answer)
        return;
    const QString name = cleanStreetName(*answer);
    if (name.isEmpty())
        return;
    try {
        if (streetExists(context_.db, name) || !addStreet(context_.db, name)) {
            context_.prompter.warn(this, QStringLiteral("That street name is already in the list"),
                                   QStringLiteral("Add Street Name"));
            return;
        }
    } catch (const DbError& error) {
        reportError(QStringLiteral("The street could not be added."), error.message());
        return;
    }
    FillStreetChecklist();
    const QList<QListWidgetItem*> added = List1_->findItems(name, Qt::MatchExactly);
    if (!added.isEmpty()) {
        List1_->setCurrentItem(added.first());
        List1_->scrollToItem(added.first());
    }
    context_.prompter.inform(this, name + QStringLiteral(" ADDED"), QStringLiteral("New Street"));
}

void frmStreetList::Command1_Click()
{
    const QListWidgetItem* highlighted = highlightedItem();
    if (!highlighted || changeRefused(context_, this, QStringLiteral("Confirm Delete")))
        return;
    const QString name = highlighted->text();
    try {
        if (streetCount(context_.db) == 1) {
            context_.prompter.inform(this,
                                     QStringLiteral("There must be at least ONE street on file.  If you cannot EDIT "
                                                    "this street name and still want to delete this one, first add "
                                                    "another."),
                                     QStringLiteral("Cannot Delete"));
            return;
        }
        const MsgAnswer answer = context_.prompter.message(
            this, {QStringLiteral("Please confirm deletion of ") + name, QStringLiteral("Confirm Delete"),
                   MsgIcon::None, MsgButtons::OkCancel, MsgAnswer::Ok});
        if (answer != MsgAnswer::Ok)
            return;
        deleteStreet(context_.db, name);
    } catch (const DbError& error) {
        reportError(QStringLiteral("The street could not be deleted."), error.message());
    }
    FillStreetChecklist();
}

void frmStreetList::cmdDeleteAl_Click()
{
    if (changeRefused(context_, this, QStringLiteral("Confirm Delete")))
        return;
    const MsgAnswer answer = context_.prompter.message(
        this, {QStringLiteral("Please confirm that you want to delete ALL streets!\nPlease note that there must be at "
                              "least ONE street on file, so the deletion process will leave ONE street in the list."),
               QStringLiteral("Confirm Delete"), MsgIcon::Exclamation, MsgButtons::OkCancel, MsgAnswer::Cancel});
    if (answer != MsgAnswer::Ok)
        return;
    try {
        // The street kept is the first in name order, as the table holds it now.
        const std::vector<Street> streets = readStreets(context_.db);
        if (!streets.empty())
            deleteStreetsExcept(context_.db, streets.front().name);
    } catch (const DbError& error) {
        reportError(QStringLiteral("The streets could not be deleted."), error.message());
    }
    FillStreetChecklist();
}

void frmStreetList::cmdPDA_Click()
{
    if (changeRefused(context_, this, windowTitle()))
        return;
    try {
        if (pdaStreetCount(context_.db) == 0) {
            const MsgAnswer answer = context_.prompter.message(
                this, {QStringLiteral("You have not selected ANY Street Names to send to the PDA!  Are you SURE you "
                                      "want to do this?"),
                       QStringLiteral("No Streets Selected"), MsgIcon::Exclamation, MsgButtons::YesNo, MsgAnswer::No});
            if (answer != MsgAnswer::Yes)
                return;
        }
        BusyCursor busy;
        rebuildPdaStreets(context_.db);
    } catch (const DbError& error) {
        reportError(QStringLiteral("The PDA street list could not be created; it is as it was."), error.message());
        return;
    }
    context_.prompter.inform(this,
                             QStringLiteral("PDA Street List created.  This will be transferred to the PDA when you "
                                            "create your KOLVA storage card."),
                             QStringLiteral("Completed"));
}

void frmStreetList::cmdImport_Click()
{
    if (changeRefused(context_, this, windowTitle()))
        return;
    const AppContext context = context_;
    importWindow_.open(this, OpenMode::HideOpener, [context] { return new frmImportStreets(context); });
}

} // namespace kolva
