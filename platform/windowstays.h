#pragma once
// Keeps a window while a question (a message box, a file, print or input
// dialog) shows over it.

#include <QObject>
#include <QPointer>

class QWidget;

namespace kolva {

// A question waits in an event loop of its own, and its dialog is a child of
// the window it shows over. The window must outlive the question: closing it
// meanwhile (an assistive technology's close action, the window manager)
// would free it, and the dialog with it, under the question, and the code
// that asked goes on with the answer in that window. So while a
// WindowStaysWhileAsking lives, closing or deleting the window (the top-level
// window of parent) is held back; once it goes, the window closes (or goes)
// as it was asked to, after the code that asked has dealt with the answer.
// Questions inside questions hold it back in turn.
class WindowStaysWhileAsking : public QObject {
public:
    explicit WindowStaysWhileAsking(QWidget* parent);
    ~WindowStaysWhileAsking() override;
    WindowStaysWhileAsking(const WindowStaysWhileAsking&) = delete;
    WindowStaysWhileAsking& operator=(const WindowStaysWhileAsking&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
    bool closeWanted_ = false;
    bool deleteWanted_ = false;
};

} // namespace kolva
