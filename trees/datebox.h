#pragma once
// A date box that can be empty: the user types a date as month/day/year or
// picks one from a calendar (the button in the box, Alt+Down or F4). An
// empty box stays empty until a real date is typed or picked; the arrow keys
// and the mouse wheel change nothing, and a typed text that is not a date is
// kept as typed and reported, never turned into another date in silence.

#include <QDate>
#include <QLineEdit>

class QCalendarWidget;

namespace kolva {

class DateBox : public QLineEdit {
    Q_OBJECT
public:
    explicit DateBox(QWidget* parent = nullptr);

    // The date shown, or an invalid date when the box is empty or holds a
    // text that is not a date.
    QDate date() const;
    // Shows the date as month/day/year; an invalid date empties the box.
    void setDate(QDate date);
    // True when the box holds text that is not a date.
    bool holdsNonDate() const;

    // Opens the calendar on the date shown (or today).
    void showCalendar();
    // The calendar, once it has been shown.
    QCalendarWidget* calendar() const { return calendar_; }

signals:
    // The user left the box (or pressed Enter) with a text that is not a date.
    void notADate(const QString& typed);
    // The user changed the date by typing or picking it.
    void dateEdited();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void pick(QDate date);

    QWidget* popup_ = nullptr;
    QCalendarWidget* calendar_ = nullptr;
};

// Reads a date the user typed as month/day/year ("5/12/2009", "05/12/09").
QDate typedDate(const QString& text);

} // namespace kolva
