#pragma once
// The period block of the cost summary options and the CSV export: the frame
// "Include Tree Inventory Dates  " with the list of named periods (Combo1),
// the begin date (txtBegin), "TO" (Label3) and the end date (txtEnd).
// Choosing a named period writes its dates; a date typed by hand is checked
// when its box loses the focus and then shown as "Jan 05 2007".

#include "costing/period.h"

#include <QGroupBox>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;

namespace kolva {

class Clock;
class Database;
class Prompter;

class PeriodBlock : public QGroupBox {
    Q_OBJECT
public:
    // objectName: the frame's name in its window ("Frame2").
    PeriodBlock(Database& db, Prompter& prompter, const Clock& clock, const QString& objectName,
                QWidget* parent = nullptr);

    QComboBox* Combo1() const { return Combo1_; }
    QLineEdit* txtBegin() const { return txtBegin_; }
    QLabel* Label3() const { return Label3_; }
    QLineEdit* txtEnd() const { return txtEnd_; }

    // Fills the list of named periods and shows the last 365 days.
    void LoadPeriodList();
    // Writes the dates of the named period chosen in Combo1.
    void ApplyPeriodPreset();
    void txtBegin_LostFocus();
    void txtEnd_LostFocus();

    // The period for a run: on a problem (a date empty or no date, with
    // refuseReversed an end before the beginning) tells the user, puts the
    // focus on the date, and gives nothing.
    std::optional<DatePeriod> period(bool refuseReversed);

    // Whether the period is "All on File" as it was chosen: the list shows it
    // and the dates are still those it wrote (none when no record has a
    // date). Such a period takes every record, those without a date too.
    bool allOnFile() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void checkTypedDate(QLineEdit* box);

    Database& db_;
    Prompter& prompter_;
    const Clock& clock_;
    QComboBox* Combo1_ = nullptr;
    QLineEdit* txtBegin_ = nullptr;
    QLabel* Label3_ = nullptr;
    QLineEdit* txtEnd_ = nullptr;
    bool checking_ = false;
    // The dates "All on File" last wrote (invalid for none), if it wrote any.
    bool allOnFileRead_ = false;
    QDate allOnFileBegin_;
    QDate allOnFileEnd_;
    QLineEdit* refused_ = nullptr; // the box whose date was last refused
    QString refusedText_;          // and its text then
};

} // namespace kolva
