#pragma once
// The Main window: the storage card import on its face, every other window
// from its menu. Closing it ends the program.

#include "platform/windows.h"
#include "store/context.h"

#include <QMainWindow>

#include <functional>
#include <map>

class QAction;
class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace kolva {

class DriveList;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(AppContext context, QWidget* parent = nullptr);

    // Gives a menu item the window it opens, and enables the item. Each
    // window exists once: choosing the item again brings it forward.
    void bindWindow(QAction* item, OpenMode mode, std::function<QWidget*()> make);
    // The menu item of that object name (mnuAbout, mnuEditTree, ...).
    QAction* menuItem(const QString& objectName) const;

    DriveList* Drive1() const { return Drive1_; }
    QListWidget* File1() const { return File1_; }
    QCheckBox* chkSavePDAFiles() const { return chkSavePDAFiles_; }
    QPushButton* cmdImportSD() const { return cmdImportSD_; }
    const AppContext& context() const { return context_; }

    // The address of the product web page: the help page on making charts
    // from the CSV export, installed beside the program.
    static QString productWebAddress(const QString& programDir);

signals:
    // The user asked to end the program (E&xit or closing the window), and
    // no background work runs any more.
    void exitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildFace();
    void buildMenu();
    void Form_Load();
    void cmdRefresh_Click();
    void cmdImportSD_Click();
    void mnuExit_Click();
    void mnuCA_RefSheet_Click();
    void mnuGraphicReport_Click();

    AppContext context_;
    DriveList* Drive1_ = nullptr;
    QListWidget* File1_ = nullptr;
    QCheckBox* chkSavePDAFiles_ = nullptr;
    QPushButton* cmdImportSD_ = nullptr;
    std::map<QAction*, SingleWindow<QWidget>> windows_;
    bool loaded_ = false;
    bool exiting_ = false;
    bool waitingForJobs_ = false; // Exit waits for the background work to stop
};

} // namespace kolva
