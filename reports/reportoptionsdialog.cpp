#include "reports/reportoptionsdialog.h"

#include "platform/controls.h"
#include "platform/prompter.h"
#include "platform/settings.h"
#include "platform/windows.h"

#include <QBoxLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kolva {

ReportOptionsDialog::ReportOptionsDialog(const AppContext& context, const QString& objectName, const QString& title,
                                         Placement placement, QWidget* parent)
    : QDialog(parent), context_(context), placement_(placement)
{
    setObjectName(objectName);
    setWindowTitle(title);
}

QPushButton* ReportOptionsDialog::layOut(QBoxLayout* options, const QString& printName, const QString& printText)
{
    auto* print = makeButton(printName, printText, this);
    print->setDefault(true);
    cmdExit_ = makeButton(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), this);
    connect(cmdExit_, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(print);
    buttons->addWidget(cmdExit_);
    options->addLayout(buttons);
    setLayout(options);
    return print;
}

bool ReportOptionsDialog::bringReportForward()
{
    if (!report_)
        return false;
    report_->show();
    report_->raise();
    report_->activateWindow();
    return true;
}

void ReportOptionsDialog::refuse(const QString& text, QWidget* focus, const QString& caption)
{
    context_.prompter.warn(this, text, caption);
    if (focus)
        focus->setFocus();
}

ReportPreviewWindow* ReportOptionsDialog::openReport(ReportWindowKind kind, ReportPreviewWindow::Builder builder,
                                                     ReportOpening opening)
{
    report_ = new ReportPreviewWindow(context_, ReportWindowTraits::of(kind), std::move(builder), this);
    if (opening == ReportOpening::Modal) {
        openWindow(this, report_, OpenMode::Modal);
    } else {
        report_->setAttribute(Qt::WA_DeleteOnClose);
    }
    return report_;
}

void ReportOptionsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (placement_ == Placement::Remembered && !placed_) {
        placed_ = true;
        placeWindow(this, context_.settings);
    }
}

void ReportOptionsDialog::done(int result)
{
    if (report_)
        report_->close();
    QDialog::done(result);
}

void layOutRatingRange(QGroupBox* frame, QLabel* fromLabel, QLineEdit* from, QLabel* toLabel, QLineEdit* to)
{
    fromLabel->setBuddy(from);
    toLabel->setBuddy(to);
    auto* row = new QHBoxLayout(frame);
    row->addWidget(fromLabel);
    row->addWidget(from);
    row->addSpacing(12);
    row->addWidget(toLabel);
    row->addWidget(to);
    row->addStretch(1);
}

} // namespace kolva
