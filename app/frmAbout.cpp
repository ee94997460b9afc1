#include "app/frmAbout.h"

#include "app/documents.h"
#include "app/frmMain.h"
#include "app/logo.h"
#include "platform/settings.h"
#include "platform/controls.h"
#include "platform/windows.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolva {

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setStyleSheet(QStringLiteral("color: #0645ad; text-decoration: underline;"));
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

namespace {

const char* const DevelopmentTeam[] = {"Maren Tollefsen", "Ilkka Varho", "Desmond Achterberg"};
const char* const ReviewTeam[] = {
    "Priya Ramaswamy, City Forester", "Tomas Hedlund, Parks Department", "Grace Obuya, Certified Arborist",
    "Luis Echeverria, Public Works",  "Hanne Bjornstad, Urban Forestry Council",
};

} // namespace

frmAbout::frmAbout(AppContext context, QWidget* parent) : QDialog(parent), context_(context)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About KOLVA"));

    auto* outer = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    auto* Image1 = makeLabel(QStringLiteral("Image1"), {}, this);
    Image1->setPixmap(kolvaLogo(72));
    Image1->setAccessibleName(QStringLiteral("KOLVA logo"));
    auto* Image2 = makeLabel(QStringLiteral("Image2"), {}, this);
    Image2->setPixmap(kolvaRiskMark(72));
    Image2->setAccessibleName(QStringLiteral("Risk rating mark"));
    auto* titles = new QVBoxLayout;
    auto* Label3 = makeLabel(QStringLiteral("Label3"), QStringLiteral("KOLVA"), this);
    QFont big = Label3->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    Label3->setFont(big);
    auto* Label2 = makeLabel(QStringLiteral("Label2"), productLongName(), this);
    for (QLabel* label : {Label3, Label2}) {
        label->setAlignment(Qt::AlignHCenter);
        titles->addWidget(label);
    }
    head->addWidget(Image1);
    head->addLayout(titles, 1);
    head->addWidget(Image2);
    outer->addLayout(head);

    QFont bold = font();
    bold.setBold(true);
    int person = 0;
    const auto addPeople = [&](const char* const* names, int count) {
        for (int i = 0; i < count; ++i) {
            auto* name = makeLabel(QStringLiteral("Label4(%1)").arg(person++), QString::fromLatin1(names[i]), this);
            name->setAlignment(Qt::AlignHCenter);
            outer->addWidget(name);
        }
    };
    auto* Label6 = makeLabel(QStringLiteral("Label6"), QStringLiteral("KOLVA Development Team"), this);
    Label6->setFont(bold);
    Label6->setAlignment(Qt::AlignHCenter);
    outer->addSpacing(8);
    outer->addWidget(Label6);
    addPeople(DevelopmentTeam, int(std::size(DevelopmentTeam)));

    auto* Label1 = makeLabel(QStringLiteral("Label1"),
                             QStringLiteral("The contributions of the following members of the KOLVA review team "
                                            "are gratefully acknowledged"),
                             this);
    Label1->setFont(bold);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignHCenter);
    outer->addSpacing(8);
    outer->addWidget(Label1);
    addPeople(ReviewTeam, int(std::size(ReviewTeam)));

    Label5_ = new LinkLabel(frmMain::productWebAddress(context_.programDir), this);
    Label5_->setObjectName(QStringLiteral("Label5"));
    Label5_->setAccessibleName(QStringLiteral("KOLVA web page"));
    Label5_->setAlignment(Qt::AlignHCenter);
    Label5_->setToolTip(QStringLiteral("Open the KOLVA web page in your browser"));
    connect(Label5_, &LinkLabel::clicked, this, &frmAbout::Label5_Click);
    outer->addSpacing(8);
    outer->addWidget(Label5_);

    auto* buttons = new QHBoxLayout;
    auto* cmdExit = new QPushButton(QStringLiteral("&OK"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setDefault(true);
    connect(cmdExit, &QPushButton::clicked, this, &QDialog::close);
    buttons->addStretch(1);
    buttons->addWidget(cmdExit);
    buttons->addStretch(1);
    outer->addSpacing(6);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);
}

void frmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        placeWindow(this, context_.settings);
    }
}

void frmAbout::Label5_Click()
{
    OpenWebPage(context_.prompter, context_.shell, this, Label5_->text().trimmed(), 0, context_.programDir);
}

} // namespace kolva
