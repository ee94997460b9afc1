#pragma once
// The street list: every street with its tick for the handheld, adding and
// deleting streets, and copying the ticked ones into the handheld's list.

#include "platform/windows.h"
#include "store/context.h"

#include <QWidget>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace kolva {

class frmStreetList : public QWidget {
    Q_OBJECT
public:
    explicit frmStreetList(AppContext context, QWidget* parent = nullptr);

    QListWidget* List1() const { return List1_; }
    // The street import window, while it is open.
    QWidget* importWindow() const { return importWindow_.get(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FillStreetChecklist();
    void List1_ItemCheck(QListWidgetItem* item);
    void cmdAdd_Click();
    void Command1_Click();
    void cmdDeleteAl_Click();
    void cmdPDA_Click();
    void cmdImport_Click();
    void enableDeleteSelected();
    // The street highlighted in the list, or nullptr.
    QListWidgetItem* highlightedItem() const;
    void reportError(const QString& what, const QString& message);

    AppContext context_;
    bool filling_ = false;
    QListWidget* List1_ = nullptr;
    QPushButton* cmdAdd_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPushButton* cmdDeleteAl_ = nullptr;
    QPushButton* cmdPDA_ = nullptr;
    QPushButton* cmdImport_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
    SingleWindow<QWidget> importWindow_;
};

} // namespace kolva
