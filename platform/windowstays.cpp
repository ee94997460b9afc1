#include "platform/windowstays.h"

#include <QEvent>
#include <QWidget>

namespace kolva {

WindowStaysWhileAsking::WindowStaysWhileAsking(QWidget* parent) : window_(parent ? parent->window() : nullptr)
{
    if (window_)
        window_->installEventFilter(this);
}

WindowStaysWhileAsking::~WindowStaysWhileAsking()
{
    if (!window_)
        return;
    window_->removeEventFilter(this);
    if (deleteWanted_) {
        window_->deleteLater();
    } else if (closeWanted_) {
        // Queued: the code that asked deals with the answer first.
        const QPointer<QWidget> window = window_;
        QMetaObject::invokeMethod(
            window_.data(),
            [window] {
                if (window)
                    window->close();
            },
            Qt::QueuedConnection);
    }
}

bool WindowStaysWhileAsking::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_) {
        if (event->type() == QEvent::Close) {
            closeWanted_ = true;
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::DeferredDelete) {
            deleteWanted_ = true;
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kolva
