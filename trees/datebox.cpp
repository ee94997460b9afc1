#include "trees/datebox.h"

#include <QToolButton>

#include "store/dates.h"

#include <QAction>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace kolva {

QDate typedDate(const QString& text)
{
    if (text.trimmed().isEmpty())
        return {};
    // A date alone: a time after it is not what this box takes.
    if (text.contains(QLatin1Char(':')))
        return {};
    const auto parsed = parseUsDateTime(text);
    return parsed ? parsed->date() : QDate();
}

DateBox::DateBox(QWidget* parent) : QLineEdit(parent)
{
    setPlaceholderText(QStringLiteral("mm/dd/yyyy"));
    setMaxLength(10);
    QAction* open = addAction(style()->standardIcon(QStyle::SP_ArrowDown), QLineEdit::TrailingPosition);
    open->setObjectName(QStringLiteral("actCalendar"));
    open->setText(QStringLiteral("Calendar"));
    open->setToolTip(QStringLiteral("Pick the date from a calendar (Alt+Down)"));
    // The button the box makes for the action is what a screen reader finds.
    for (QToolButton* button : findChildren<QToolButton*>()) {
        if (button->defaultAction() == open) {
            button->setObjectName(QStringLiteral("cmdCalendar"));
            button->setAccessibleName(QStringLiteral("Calendar"));
            button->setAccessibleDescription(open->toolTip());
        }
    }
    connect(open, &QAction::triggered, this, &DateBox::showCalendar);

    connect(this, &QLineEdit::editingFinished, this, [this] {
        const QString text = this->text();
        if (text.trimmed().isEmpty())
            return;
        const QDate day = typedDate(text);
        if (day.isValid()) {
            // The typed date shows in the box's own form.
            if (shownDate(day) != text)
                setText(shownDate(day));
        } else {
            emit notADate(text);
        }
    });
    connect(this, &QLineEdit::textEdited, this, &DateBox::dateEdited);
}

QDate DateBox::date() const
{
    return typedDate(text());
}

void DateBox::setDate(QDate date)
{
    setText(shownDate(date));
}

bool DateBox::holdsNonDate() const
{
    return !text().trimmed().isEmpty() && !date().isValid();
}

void DateBox::showCalendar()
{
    if (isReadOnly() || !isEnabled())
        return;
    // The calendar is made when it is first wanted: it is slow to make.
    if (!popup_) {
        popup_ = new QWidget(this, Qt::Popup);
        popup_->setObjectName(QStringLiteral("calendarPopup"));
        auto* column = new QVBoxLayout(popup_);
        column->setContentsMargins(1, 1, 1, 1);
        calendar_ = new QCalendarWidget(popup_);
        calendar_->setObjectName(QStringLiteral("calendar"));
        calendar_->setGridVisible(true);
        column->addWidget(calendar_);
        connect(calendar_, &QCalendarWidget::clicked, this, &DateBox::pick);
        connect(calendar_, &QCalendarWidget::activated, this, &DateBox::pick);
    }
    const QDate shown = date();
    calendar_->setSelectedDate(shown.isValid() ? shown : QDate::currentDate());
    popup_->adjustSize();
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen* s = screen()) {
        const QRect room = s->availableGeometry();
        if (at.y() + popup_->height() > room.bottom())
            at.setY(mapToGlobal(QPoint(0, 0)).y() - popup_->height());
        at.setX(std::max(room.left(), std::min(at.x(), room.right() - popup_->width())));
    }
    popup_->move(at);
    popup_->show();
    calendar_->setFocus();
}

void DateBox::pick(QDate date)
{
    if (popup_)
        popup_->hide();
    if (!date.isValid())
        return;
    if (this->date() != date) {
        setDate(date);
        emit dateEdited();
    }
    setFocus();
}

void DateBox::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier)) || event->key() == Qt::Key_F4) {
        showCalendar();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace kolva
