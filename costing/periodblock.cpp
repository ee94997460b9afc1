#include "costing/periodblock.h"

#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/prompter.h"
#include "store/database.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace kolva {

PeriodBlock::PeriodBlock(Database& db, Prompter& prompter, const Clock& clock, const QString& objectName,
                         QWidget* parent)
    : QGroupBox(QStringLiteral("Include Tree Inventory Dates  "), parent), db_(db), prompter_(prompter), clock_(clock)
{
    setObjectName(objectName);
    Combo1_ = new QComboBox(this);
    Combo1_->setObjectName(QStringLiteral("Combo1"));
    Combo1_->setAccessibleName(title().trimmed()); // the block's caption
    Combo1_->setMaxVisibleItems(PeriodPresetCount);
    txtBegin_ = makeTextBox(QStringLiteral("txtBegin"), QStringLiteral("Include Tree Inventory Dates from"), this);
    Label3_ = makeLabel(QStringLiteral("Label3"), QStringLiteral("TO"), this);
    Label3_->setAlignment(Qt::AlignCenter);
    txtEnd_ = makeTextBox(QStringLiteral("txtEnd"), QStringLiteral("Include Tree Inventory Dates to"), this);
    for (QLineEdit* box : {txtBegin_, txtEnd_}) {
        box->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("September 30, 2000")));
        box->installEventFilter(this);
    }

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Combo1_);
    layout->addSpacing(8);
    layout->addWidget(txtBegin_, 1);
    layout->addWidget(Label3_);
    layout->addWidget(txtEnd_, 1);

    connect(Combo1_, &QComboBox::currentIndexChanged, this, [this] { ApplyPeriodPreset(); });
    LoadPeriodList();
}

void PeriodBlock::LoadPeriodList()
{
    const QSignalBlocker quiet(Combo1_); // "Custom Date" changes no date
    Combo1_->clear();
    Combo1_->addItems(periodPresetNames());
    Combo1_->setCurrentIndex(int(PeriodPreset::CustomDate));
    const QDate today = clock_.today();
    txtBegin_->setText(formatTypedDate(today.addDays(-365)));
    txtEnd_->setText(formatTypedDate(today));
}

void PeriodBlock::ApplyPeriodPreset()
{
    const int index = Combo1_->currentIndex();
    if (index < 0 || index >= PeriodPresetCount)
        return;
    const auto preset = PeriodPreset(index);
    std::optional<DatePeriod> onFile;
    allOnFileRead_ = false;
    if (preset == PeriodPreset::AllOnFile) {
        try {
            onFile = surveyDatePeriod(db_);
        } catch (const DbError& error) {
            prompter_.warn(this, error.message(), QStringLiteral("Error"));
            return;
        }
        allOnFileRead_ = true;
        allOnFileBegin_ = onFile ? onFile->begin : QDate();
        allOnFileEnd_ = onFile ? onFile->end : QDate();
        if (!onFile) {
            // No record with a date: no dates.
            txtBegin_->clear();
            txtEnd_->clear();
            return;
        }
    }
    const std::optional<DatePeriod> period = presetPeriod(preset, clock_.today(), onFile);
    if (!period)
        return;
    txtBegin_->setText(formatPresetDate(period->begin));
    txtEnd_->setText(formatPresetDate(period->end));
}

void PeriodBlock::txtBegin_LostFocus()
{
    checkTypedDate(txtBegin_);
}

void PeriodBlock::txtEnd_LostFocus()
{
    checkTypedDate(txtEnd_);
}

void PeriodBlock::checkTypedDate(QLineEdit* box)
{
    if (box->text().isEmpty())
        return;
    if (const std::optional<QDate> date = parseTypedDate(box->text())) {
        box->setText(formatTypedDate(*date));
        return;
    }
    // The focus goes back to the box; the box it leaves is not checked on
    // the way (two wrong dates would otherwise call each other back).
    refused_ = box;
    refusedText_ = box->text();
    checking_ = true;
    prompter_.message(this, {invalidDateMessage(), invalidDateCaption(), MsgIcon::Exclamation});
    box->setFocus(Qt::OtherFocusReason);
    checking_ = false;
}

bool PeriodBlock::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut && !checking_ && (watched == txtBegin_ || watched == txtEnd_)) {
        // Only a move of the focus inside the window counts: not another
        // window coming to the front (a message, another program), nor the
        // window closing.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && window()->isVisible()) {
            if (watched == txtBegin_)
                txtBegin_LostFocus();
            else
                txtEnd_LostFocus();
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

bool PeriodBlock::allOnFile() const
{
    if (!allOnFileRead_ || Combo1_->currentIndex() != int(PeriodPreset::AllOnFile))
        return false;
    // The date a box shows, whichever form it is in; an invalid date for none.
    const auto shows = [](const QLineEdit* box, const QDate& date) {
        if (box->text().trimmed().isEmpty())
            return !date.isValid();
        const std::optional<QDate> shown = parseTypedDate(box->text());
        return shown && *shown == date;
    };
    return shows(txtBegin_, allOnFileBegin_) && shows(txtEnd_, allOnFileEnd_);
}

std::optional<DatePeriod> PeriodBlock::period(bool refuseReversed)
{
    const PeriodReading reading = readPeriod(txtBegin_->text(), txtEnd_->text(), refuseReversed);
    if (reading.problem) {
        QLineEdit* box = reading.problem->field == PeriodProblem::Begin ? txtBegin_ : txtEnd_;
        // A date refused as its box lost the focus (to the button that runs,
        // say) is not refused twice.
        const bool toldAlready = reading.problem->text == invalidDateMessage() && box == refused_
                                 && box->text() == refusedText_ && box->hasFocus();
        checking_ = true;
        if (!toldAlready)
            prompter_.message(this, {reading.problem->text, reading.problem->caption, MsgIcon::Exclamation});
        box->setFocus(Qt::OtherFocusReason);
        checking_ = false;
        return std::nullopt;
    }
    return reading.period;
}

} // namespace kolva
