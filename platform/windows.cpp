#include "platform/windows.h"

#include <QGuiApplication>
#include <QScreen>

namespace kolva {

void openWindow(QWidget* opener, QWidget* window, OpenMode mode)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
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
