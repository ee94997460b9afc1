#pragma once
// The About window: product name, the teams, and the product web page.

#include "store/context.h"

#include <QDialog>
#include <QLabel>

namespace kolva {

// A label that acts as a link: a click, or Enter or Space when it has the
// focus, emits clicked().
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(AppContext context, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Label5_Click();

    AppContext context_;
    LinkLabel* Label5_ = nullptr;
    bool loaded_ = false;
};

} // namespace kolva
