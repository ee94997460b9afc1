#include "card/frmMakeStorageCard.h"

#include "card/cardwriter.h"
#include "card/fieldimport.h"
#include "platform/settings.h"
#include "platform/busycursor.h"
#include "platform/controls.h"
#include "platform/drivelist.h"
#include "platform/prompter.h"
#include "platform/twips.h"
#include "platform/windows.h"
#include "store/database.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolva {

namespace {

void letTheScreenRepaint()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

QPixmap storageCardPicture(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    // The card body with its cut corner.
    QPainterPath body;
    body.moveTo(s * 0.22, s * 0.06);
    body.lineTo(s * 0.64, s * 0.06);
    body.lineTo(s * 0.80, s * 0.22);
    body.lineTo(s * 0.80, s * 0.94);
    body.lineTo(s * 0.22, s * 0.94);
    body.closeSubpath();
    p.setPen(QPen(QColor(0x26, 0x32, 0x38), s * 0.03));
    p.setBrush(QColor(0x37, 0x47, 0x4f));
    p.drawPath(body);
    // Contacts.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xc1, 0x07));
    for (int i = 0; i < 4; ++i)
        p.drawRect(QRectF(s * (0.28 + i * 0.1), s * 0.12, s * 0.06, s * 0.14));
    // The label: a small tree.
    p.setBrush(QColor(0xe8, 0xf3, 0xe0));
    p.drawRoundedRect(QRectF(s * 0.28, s * 0.40, s * 0.46, s * 0.46), s * 0.04, s * 0.04);
    p.setBrush(QColor(0x7a, 0x4e, 0x2d));
    p.drawRect(QRectF(s * 0.48, s * 0.62, s * 0.06, s * 0.18));
    p.setBrush(QColor(0x2e, 0x7d, 0x32));
    p.drawEllipse(QRectF(s * 0.36, s * 0.44, s * 0.30, s * 0.24));
    return pixmap;
}

QString frmMakeStorageCard::systemVolumeQuestion(const QString& drive)
{
#ifdef Q_OS_WIN
    const QString where = QStringLiteral("Drive '");
#else
    const QString where = QStringLiteral("the location '");
#endif
    return QStringLiteral("It's fairly unlikely that your Storage Card is ") + where + drive +
           QStringLiteral("'.   Are you sure?");
}

frmMakeStorageCard::frmMakeStorageCard(AppContext context, QWidget* parent) : QDialog(parent), context_(context)
{
    setObjectName(QStringLiteral("frmMakeStorageCard"));
    setWindowTitle(QStringLiteral("Create KOLVA Storage Card"));

    auto* outer = new QHBoxLayout(this);
    auto* Image1 = makeLabel(QStringLiteral("Image1"), {}, this);
    Image1->setPixmap(storageCardPicture(96));
    Image1->setAccessibleName(QStringLiteral("Storage card"));
    Image1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    outer->addWidget(Image1);

    auto* column = new QVBoxLayout;
    outer->addLayout(column, 1);

    auto* Label4 = makeLabel(QStringLiteral("Label4"), QStringLiteral("Select Storage Card"), this);
    column->addWidget(Label4);
    Drive1_ = new DriveList(context_.drives, context_.prompter, this, &context_.settings);
    Drive1_->setObjectName(QStringLiteral("Drive1"));
    Drive1_->setAccessibleName(Label4->text());
    Label4->setBuddy(Drive1_);
    column->addWidget(Drive1_);
    column->addSpacing(twipsToPixels(120));

    auto* Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Have you :"), this);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    column->addWidget(Label1);
    const char* const captions[5] = {
        "Set up your Surveyor List?",           // 0
        "Set up your PDA Species List?",        // 1
        "Set up your PDA Street List?",         // 2
        "Customized your Tree Risk Ratings?",   // 3
        "Customized your Community Risk Zones?" // 4
    };
    for (int i = 4; i >= 0; --i) {
        auto* box = new QCheckBox(QString::fromLatin1(captions[i]), this);
        box->setObjectName(QStringLiteral("chkSD(%1)").arg(i));
        connect(box, &QCheckBox::toggled, this, &frmMakeStorageCard::chkSD_Click);
        chkSD[size_t(i)] = box;
        column->addWidget(box);
    }
    column->addSpacing(twipsToPixels(120));

    cmdDoIt_ = new QPushButton(
        QStringLiteral("Place the Storage Card in the Reader, Select it from the list above and press this button"),
        this);
    cmdDoIt_->setObjectName(QStringLiteral("cmdDoIt"));
    cmdDoIt_->setMinimumHeight(twipsToPixels(600));
    // Room for the whole caption with a margin on each side.
    cmdDoIt_->setMinimumWidth(cmdDoIt_->fontMetrics().horizontalAdvance(cmdDoIt_->text()) + twipsToPixels(720));
    cmdDoIt_->setEnabled(false);
    connect(cmdDoIt_, &QPushButton::clicked, this, &frmMakeStorageCard::cmdDoIt_Click);
    column->addWidget(cmdDoIt_);

    auto* Label2 = makeLabel(
        QStringLiteral("Label2"),
        QStringLiteral("(This process will have NO effect on any field tree data which may be on the storage card)"),
        this);
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignHCenter);
    column->addWidget(Label2);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    auto* Command1 = new QPushButton(QStringLiteral("E&xit"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    connect(Command1, &QPushButton::clicked, this, &frmMakeStorageCard::Command1_Click);
    bottom->addWidget(Command1);
    column->addLayout(bottom);
}

void frmMakeStorageCard::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        placeWindow(this, context_.settings);
    }
}

void frmMakeStorageCard::chkSD_Click()
{
    bool all = true;
    for (const QCheckBox* box : chkSD)
        all = all && box && box->isChecked();
    cmdDoIt_->setEnabled(all);
}

void frmMakeStorageCard::Command1_Click()
{
    close();
}

void frmMakeStorageCard::cmdDoIt_Click()
{
    Prompter& prompter = context_.prompter;
    const QString root = Drive1_->selectedRoot();
    if (Drive1_->selectedIsSystem()) {
        QString drive = displayFolder(root);
        if (drive.size() == 2 && drive.endsWith(QLatin1Char(':')))
            drive.chop(1); // the drive letter alone, as in 'C'
        const MsgAnswer answer =
            prompter.message(this, {systemVolumeQuestion(drive), QStringLiteral("Confirm Storage Card Drive"),
                                    MsgIcon::None, MsgButtons::OkCancel, MsgAnswer::Cancel});
        if (answer != MsgAnswer::Ok) {
            prompter.inform(this, QStringLiteral("Operation Cancelled"), QStringLiteral("Cancelled"));
            return;
        }
    }

    cmdDoIt_->setEnabled(false);
    BusyCursor busy;
    letTheScreenRepaint();
    CardWriteResult written;
    try {
        written = writeStorageCard(context_.db, root);
    } catch (const CardWriteError& error) {
        cmdDoIt_->setEnabled(true);
        busy.release();
        prompter.critical(this, error.description(), QStringLiteral("Operation Failed!"));
        return;
    }
    cmdDoIt_->setEnabled(true);
    busy.release();
    letTheScreenRepaint();
    QString done = QStringLiteral("Storage Card initialized successfully!");
    if (!written.altered.isEmpty())
        done += QLatin1Char('\n') + alteredEntriesReport(written.altered);
    prompter.inform(this, done, QStringLiteral("Operation Completed"));
}

} // namespace kolva
