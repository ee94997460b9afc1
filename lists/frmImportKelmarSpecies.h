#pragma once
// Replaces the species list with the species of one climate zone of an
// outside species database (an Access file), in three steps: the file, the
// zone, common or scientific names.

#include "store/context.h"

#include <QWidget>

#include <array>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace kolva {

class frmImportKelmarSpecies : public QWidget {
    Q_OBJECT
public:
    explicit frmImportKelmarSpecies(AppContext context, QWidget* parent = nullptr);

    QLineEdit* txtPath() const { return txtPath_; }
    QComboBox* cmbClimateZone() const { return cmbClimateZone_; }
    bool importing() const { return importing_; }

    std::array<QRadioButton*, 2> optSpecies{};

signals:
    // An import has ended and its closing message has been shown.
    void importFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void LoadClimateZones(const QString& path);
    void cmdBrowse_Click();
    void cmdRefresh_Click();
    void cmdImport_Click();
    void setWorking(bool working);

    AppContext context_;
    bool loaded_ = false;
    bool importing_ = false;
    QLineEdit* txtPath_ = nullptr;
    QToolButton* cmdBrowse_ = nullptr;
    QPushButton* cmdRefresh_ = nullptr;
    QComboBox* cmbClimateZone_ = nullptr;
    QPushButton* cmdImport_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
};

} // namespace kolva
