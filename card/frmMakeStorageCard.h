#pragma once
// Writing a storage card: the checklist of what to prepare first, the
// card's drive, and the button that writes the reference lists onto it.

#include "store/context.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QPushButton;

namespace kolva {

class DriveList;

class frmMakeStorageCard : public QDialog {
    Q_OBJECT
public:
    explicit frmMakeStorageCard(AppContext context, QWidget* parent = nullptr);

    DriveList* Drive1() const { return Drive1_; }
    QPushButton* cmdDoIt() const { return cmdDoIt_; }

    // The checklist, chkSD[4] at the top to chkSD[0] at the bottom.
    std::array<QCheckBox*, 5> chkSD{};

    // The question asked before the system volume is written to.
    static QString systemVolumeQuestion(const QString& drive);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void chkSD_Click();
    void cmdDoIt_Click();
    void Command1_Click();

    AppContext context_;
    DriveList* Drive1_ = nullptr;
    QPushButton* cmdDoIt_ = nullptr;
    bool loaded_ = false;
};

// A storage card, drawn: the window's decoration.
QPixmap storageCardPicture(int size);

} // namespace kolva
