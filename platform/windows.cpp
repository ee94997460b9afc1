#include "platform/windows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>

namespace kolva {

namespace {

// Keys the controls of a window left to the window itself.
class DialogKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        auto* window = static_cast<QWidget*>(watched);
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        if (key->key() == Qt::Key_Escape) {
            window->close();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            const QList<QPushButton*> buttons = window->findChildren<QPushButton*>();
            for (QPushButton* button : buttons) {
                if (button->isDefault() && button->window() == window && button->isVisible() && button->isEnabled()) {
                    button->click();
                    return true;
                }
            }
        }
        return false;
    }
};

// What a screen reader is told a window is: a dialog, as the windows are.
class DialogWindowAccessible : public QAccessibleWidget {
public:
    explicit DialogWindowAccessible(QWidget* window) : QAccessibleWidget(window, QAccessible::Dialog) {}
};

const char* const dialogConventions = "kolvaDialogConventions";

QAccessibleInterface* dialogWindowFactory(const QString&, QObject* object)
{
    if (!object || !object->isWidgetType() || !object->property(dialogConventions).toBool())
        return nullptr;
    return new DialogWindowAccessible(static_cast<QWidget*>(object));
}

} // namespace

void keepDialogConventions(QWidget* window)
{
    if (!window || qobject_cast<QDialog*>(window) || qobject_cast<QMainWindow*>(window)
        || window->property(dialogConventions).toBool())
        return; // a QDialog has them already
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(dialogWindowFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    window->setProperty(dialogConventions, true);
    window->installEventFilter(new DialogKeys(window));
}

void openWindow(QWidget* opener, QWidget* window, OpenMode mode)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    keepDialogConventions(window);
    if (mode != OpenMode::HideOpener)
        window->setWindowModality(Qt::ApplicationModal);
    if (opener && mode != OpenMode::Modal) {
        QPointer<QWidget> guard(opener);
        QObject::connect(window, &QObject::destroyed, opener, [guard] {
            if (guard)
                guard->show();
        });
        opener->hide();
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void centreOnScreen(QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = window->frameGeometry().size();
    window->move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

} // namespace kolva
