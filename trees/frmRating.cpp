#include "trees/frmRating.h"

#include "platform/settings.h"
#include "platform/busycursor.h"
#include "platform/controls.h"
#include "platform/prompter.h"
#include "platform/windows.h"
#include "store/context.h"
#include "store/database.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace kolva {

namespace {

// A box of one risk text.
QLineEdit* makeRiskTextBox(const QString& name, const QString& accessibleName, QWidget* parent)
{
    QLineEdit* box = makeTextBox(name, accessibleName, parent);
    box->setMaxLength(RiskTextMaxLength);
    return box;
}

} // namespace

frmRating::frmRating(AppContext context, QWidget* parent) : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("frmRating"));
    setWindowTitle(QStringLiteral("Customize Risk Rating "));

    auto* outer = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    SSTab1_ = new QTabWidget(this);
    SSTab1_->setObjectName(QStringLiteral("SSTab1"));
    for (int q = 0; q < RiskQuestionCount; ++q) {
        const int n = q + 1;
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("pageQuestion%1").arg(n));
        auto* grid = new QGridLayout(page);
        grid->setVerticalSpacing(4);
        auto* caption = makeLabel(QStringLiteral("lblQ%1_Label").arg(n), QStringLiteral("Question label"), page);
        txtLabel_[size_t(q)] = makeRiskTextBox(QStringLiteral("txtQ%1_Label").arg(n), caption->text(), page);
        caption->setBuddy(txtLabel_[size_t(q)]);
        grid->addWidget(caption, 0, 0, 1, 2);
        grid->addWidget(txtLabel_[size_t(q)], 1, 0, 1, 2);
        grid->addItem(new QSpacerItem(1, 8), 2, 0);
        for (int r = 0; r < RiskResponseCount; ++r) {
            auto* number = makeLabel(QStringLiteral("lblQ%1_Response(%2)").arg(n).arg(r), QString::number(r), page);
            number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            auto* box = makeRiskTextBox(QStringLiteral("txtQ%1_Response(%2)").arg(n).arg(r), QStringLiteral("Response %1").arg(r),
                                page);
            number->setBuddy(box);
            txtResponse_[size_t(q)][size_t(r)] = box;
            grid->addWidget(number, 3 + r, 0);
            grid->addWidget(box, 3 + r, 1);
        }
        auto* note = makeLabel(QStringLiteral("lblQ%1_Note").arg(n),
                               QStringLiteral("Any response alternative left BLANK will NOT appear on the PDA"), page);
        note->setWordWrap(true);
        grid->addWidget(note, 3 + RiskResponseCount, 0, 1, 2);
        grid->setColumnStretch(1, 1);
        grid->setRowStretch(4 + RiskResponseCount, 1);
        SSTab1_->addTab(page, QString::number(n));
    }
    top->addWidget(SSTab1_, 3);

    auto* explanation = makeLabel(
        QStringLiteral("lblExplanation"),
        QStringLiteral("The Risk Rating consists of  FOUR questions.  You may re-define the title and the content of "
                       "each question.   All FOUR questions will appear on the PDA screen.   If you wish NOT to use "
                       "one or  more of the questions,  just delete all the response alternatives and, while it WILL "
                       "show on the PDA, that question will  NOT be counted in the calculated Risk Rating."),
        this);
    explanation->setWordWrap(true);
    explanation->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    explanation->setMinimumWidth(220);
    auto* side = new QVBoxLayout;
    side->addWidget(explanation);
    lblHiddenRows_ = makeLabel(QStringLiteral("lblHiddenRows"), QString(), this);
    lblHiddenRows_->setWordWrap(true);
    lblHiddenRows_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    lblHiddenRows_->setVisible(false);
    side->addWidget(lblHiddenRows_);
    side->addStretch(1);
    top->addLayout(side, 2);
    outer->addLayout(top, 1);

    auto* buttons = new QHBoxLayout;
    cmdExit_ = new QPushButton(QStringLiteral("E&xit and Save Changes"), this);
    cmdExit_->setObjectName(QStringLiteral("cmdExit"));
    cmdCancel_ = new QPushButton(QStringLiteral("Exit and &Discard Changes"), this);
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton* b : {cmdExit_, cmdCancel_})
        b->setAutoDefault(false);
    buttons->addStretch(1);
    buttons->addWidget(cmdExit_);
    buttons->addWidget(cmdCancel_);
    outer->addLayout(buttons);
    connect(cmdExit_, &QPushButton::clicked, this, &frmRating::cmdExit_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &frmRating::cmdCancel_Click);

    resize(sizeHint().expandedTo(QSize(600, 0)));
    Form_Load();
}

frmRating::~frmRating() = default;

void frmRating::Form_Load()
{
    // The window works on a connection of its own to the program's database.
    try {
        db_ = Database::open(context_.db.path());
        LoadRiskQuestions();
    } catch (const DbError& error) {
        db_.reset();
        unusable_ = true;
        context_.prompter.warn(this, QStringLiteral("The risk questions could not be read.\n\n%1").arg(error.message()),
                               windowTitle());
    }
}

void frmRating::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        placeWindow(this, context_.settings);
    }
    if (unusable_)
        QTimer::singleShot(0, this, &QWidget::close);
}

void frmRating::LoadRiskQuestions()
{
    // A box takes 25 typed characters; a longer stored text shows whole,
    // so that saving without edits does not cut it.
    const auto show = [](QLineEdit* box, const QString& text) {
        box->setMaxLength(std::max<int>(RiskTextMaxLength, int(text.size())));
        box->setText(text);
        box->setCursorPosition(0);
    };
    read_ = readRiskQuestionTable(*db_);
    const RiskQuestions& questions = read_.questions;
    // Rows no box can show are kept; the user is told of them.
    lblHiddenRows_->setText(hiddenRiskRowsNote(read_.hiddenRows));
    lblHiddenRows_->setVisible(!read_.hiddenRows.isEmpty());
    for (int q = 0; q < RiskQuestionCount; ++q) {
        show(txtLabel_[size_t(q)], questions.titles[size_t(q)]);
        for (int r = 0; r < RiskResponseCount; ++r)
            show(txtResponse_[size_t(q)][size_t(r)], questions.responses[size_t(q)][size_t(r)]);
    }
}

RiskQuestions frmRating::shownQuestions() const
{
    RiskQuestions questions;
    for (int q = 0; q < RiskQuestionCount; ++q) {
        questions.titles[size_t(q)] = txtLabel_[size_t(q)]->text();
        for (int r = 0; r < RiskResponseCount; ++r)
            questions.responses[size_t(q)][size_t(r)] = txtResponse_[size_t(q)][size_t(r)]->text();
    }
    return questions;
}

bool frmRating::SaveRiskQuestions()
{
    // The edits stay in the boxes: Exit and Discard Changes leaves them.
    if (changeRefused(context_, this, windowTitle()))
        return false;
    try {
        writeRiskQuestions(*db_, read_, shownQuestions());
    } catch (const RiskQuestionsChanged& changed) {
        // Another's change is never overwritten unasked; the window stays open.
        if (context_.prompter.message(this, riskQuestionsChangedMessage(changed)) == MsgAnswer::Yes) {
            reloadRiskQuestions(true);
        } else {
            reloadRiskQuestions(false);
        }
        return false;
    } catch (const DbError& error) {
        // The table keeps the questions it had.
        context_.prompter.message(this, riskQuestionSaveErrorMessage(error));
    }
    return true;
}

void frmRating::reloadRiskQuestions(bool showStored)
{
    if (showStored) {
        try {
            LoadRiskQuestions();
        } catch (const DbError& error) {
            context_.prompter.message(this, riskQuestionSaveErrorMessage(error));
        }
        return;
    }
    // The boxes keep the user's texts; the next save writes them over the
    // rows as they are now.
    try {
        const RiskQuestions edited = shownQuestions();
        const RiskQuestions before = read_.questions;
        LoadRiskQuestions();
        // The boxes the user edited show the edits again; the others show
        // what is stored now.
        for (int q = 0; q < RiskQuestionCount; ++q) {
            if (edited.titles[size_t(q)] != before.titles[size_t(q)])
                txtLabel_[size_t(q)]->setText(edited.titles[size_t(q)]);
            for (int r = 0; r < RiskResponseCount; ++r) {
                if (edited.responses[size_t(q)][size_t(r)] != before.responses[size_t(q)][size_t(r)])
                    txtResponse_[size_t(q)][size_t(r)]->setText(edited.responses[size_t(q)][size_t(r)]);
            }
        }
    } catch (const DbError& error) {
        context_.prompter.message(this, riskQuestionSaveErrorMessage(error));
    }
}

void frmRating::cmdExit_Click()
{
    if (!db_)
        return;
    bool saved = false;
    {
        BusyCursor busy;
        cmdExit_->setEnabled(false);
        QCoreApplication::processEvents();
        setEnabled(false);
        saved = SaveRiskQuestions();
    }
    QCoreApplication::processEvents();
    if (!saved) {
        setEnabled(true);
        cmdExit_->setEnabled(true);
        return;
    }
    close();
}

void frmRating::cmdCancel_Click()
{
    close();
}

void frmRating::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        db_.reset();
}

} // namespace kolva
