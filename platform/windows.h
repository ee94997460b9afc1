#pragma once
// How windows open: each window exists once, is deleted when it closes, and
// either hides the window that opened it until it closes or opens modally
// over it. No window runs a nested event loop of its own.

#include <QPointer>
#include <QWidget>

class QScrollArea;

namespace kolva {

class Settings;

enum class OpenMode {
    HideOpener,          // the opener hides; the window shows it again when it closes
    Modal,               // the window opens modally over the opener
    ModalInvisibleOpener // modal, and the opener is invisible until it closes
};

// Shows window in the given mode. The window is deleted when it closes.
// Every window so opened keeps the conventions of a dialog box (see
// keepDialogConventions).
void openWindow(QWidget* opener, QWidget* window, OpenMode mode);

// The conventions of a dialog box for a window that is not a QDialog: Enter
// presses its default button (QPushButton::isDefault) unless the control
// with the focus takes the key itself; Escape closes it as its close button
// does (a window with unsaved changes asks first); screen readers are told
// it is a dialog.
void keepDialogConventions(QWidget* window);

// Puts the content of window (its layout and the controls placed by hand)
// into a scroll area that fills it, so that the window can be made smaller
// than its content. The content keeps the window's minimum size; the window
// has none left of its own. Gives the scroll area (the same one when called
// again).
QScrollArea* scrollContent(QWidget* window);

// Resizes window to wanted, no larger than the free area of its screen. A
// window whose content scrolls one way takes the room of that scroll bar
// where the screen has it, so that it does not scroll the other way too.
void resizeWithinScreen(QWidget* window, QSize wanted);

// Before a window shows: where its minimum size is larger than the free
// area of its screen, its content scrolls (scrollContent), and it opens no
// larger than that area.
void fitOnScreen(QWidget* window);

// Centres a top-level window on the screen it is on.
void centreOnScreen(QWidget* window);

// Holds the one instance of a window: opening it again brings it forward.
template <class Window>
class SingleWindow {
public:
    template <class Make>
    Window* open(QWidget* opener, OpenMode mode, Make make)
    {
        if (window_) {
            window_->show();
            window_->raise();
            window_->activateWindow();
            return window_;
        }
        window_ = make();
        openWindow(opener, window_, mode);
        return window_;
    }
    Window* get() const { return window_; }

private:
    QPointer<Window> window_;
};

// Puts a top-level window where the user left it last time (its place and
// size), or centres it on the screen the first time and when the remembered
// place is on no screen now; from then on its place and size are remembered
// whenever it is hidden or closed.
void placeWindow(QWidget* window, Settings& settings);

} // namespace kolva
