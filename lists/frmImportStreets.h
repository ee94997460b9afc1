#pragma once
// Adds street names from the first column of a CSV file to the street list.

#include "store/context.h"

#include <QWidget>

class QPushButton;

namespace kolva {

class frmImportStreets : public QWidget {
    Q_OBJECT
public:
    explicit frmImportStreets(AppContext context, QWidget* parent = nullptr);

    QPushButton* cmdDoIt() const { return cmdDoIt_; }
    bool importing() const { return importing_; }

signals:
    // An import has ended and its closing message has been shown.
    void importFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void cmdDoIt_Click();
    void cancelled();

    AppContext context_;
    bool importing_ = false;
    QPushButton* cmdDoIt_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
};

} // namespace kolva
