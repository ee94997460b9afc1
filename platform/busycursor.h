#pragma once
// Shows the busy pointer for the life of the guard, on every way out.

#include <QApplication>
#include <QCursor>

namespace kolva {

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { release(); }
    // Gives the normal pointer back before the guard ends (before a message, say).
    void release()
    {
        if (active_) {
            QApplication::restoreOverrideCursor();
            active_ = false;
        }
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    bool active_ = true;
};

// True while the busy pointer shows.
inline bool busyCursorShown()
{
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

} // namespace kolva
