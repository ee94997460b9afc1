#pragma once
// What the report options windows have in common: a dialog with the options
// above and "Print Report" (the default button: Enter presses it) and "Exit"
// (as Escape does) below; the report window it opens, one at a time; where
// it opens; and the refusals of options that make no report.

#include "reports/reportwindow.h"
#include "store/context.h"

#include <QDialog>
#include <QPointer>

class QBoxLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kolva {

class ReportOptionsDialog : public QDialog {
    Q_OBJECT
public:
    // The report window while it is open.
    ReportPreviewWindow* reportWindow() const { return report_; }
    QPushButton* cmdExit() const { return cmdExit_; }

protected:
    // Where the window opens: as the window that opens it places it, or
    // where the user left it last time (centred the first time).
    enum class Placement { AsOpened, Remembered };
    // How the report window opens: modal over the options, or beside them
    // (the options stay usable, and closing them closes the report).
    enum class ReportOpening { Modal, Beside };

    ReportOptionsDialog(const AppContext& context, const QString& objectName, const QString& title,
                        Placement placement, QWidget* parent);

    // Makes the print button (the default button) and "E&xit", and lays the
    // window out: the rows of options from the top, then the buttons at the
    // right. The caller connects the print button.
    QPushButton* layOut(QBoxLayout* options, const QString& printName, const QString& printText);

    // True, bringing the open report window forward, when there is one.
    bool bringReportForward();
    // Says why the options make no report and puts the focus where the
    // user can mend them (none: where it was).
    void refuse(const QString& text, QWidget* focus, const QString& caption = QStringLiteral("Error"));
    // Opens the report window that builds the report with builder.
    ReportPreviewWindow* openReport(ReportWindowKind kind, ReportPreviewWindow::Builder builder,
                                    ReportOpening opening);

    void showEvent(QShowEvent* event) override;
    // Escape, "Exit" and the window's close button all end here: the report
    // goes with its options; a build still running stops.
    void done(int result) override;

    AppContext context_;

private:
    Placement placement_;
    bool placed_ = false;
    QPushButton* cmdExit_ = nullptr;
    QPointer<ReportPreviewWindow> report_;
};

// Lays out a frame of a range of risk ratings: the caption and box of the
// lowest rating, a gap, and the caption and box of the highest, in one row.
// The captions name their boxes (Alt and the underlined letter).
void layOutRatingRange(QGroupBox* frame, QLabel* fromLabel, QLineEdit* from, QLabel* toLabel, QLineEdit* to);

} // namespace kolva
