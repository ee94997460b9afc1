#pragma once
// Every message box, question, input box and file dialog of the program goes
// through a Prompter, so that tests can answer them from a script.

#include <QString>
#include <optional>

class QWidget;

namespace kolva {

enum class MsgIcon { None, Information, Exclamation, Question, Critical };
enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    QString text;
    QString caption;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    MsgAnswer defaultButton = MsgAnswer::Ok;
};

struct FileDialogRequest {
    QString title;
    QString filter;        // "PDF Files(*.pdf)"
    QString defaultSuffix; // "PDF"
    QString proposedName;  // "*.pdf"
    QString folder;        // the folder the dialog starts in
};

struct InputRequest {
    QString title;
    QString prompt;
    QString initialText;
    // A password: typed without being shown.
    bool password = false;
};

class Prompter {
public:
    virtual ~Prompter() = default;

    virtual MsgAnswer message(QWidget* parent, const MessageRequest& request) = 0;
    // The chosen path, or an empty text when the user cancelled.
    virtual QString saveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual QString openFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual QString chooseFolder(QWidget* parent, const QString& title, const QString& folder) = 0;
    // The typed text, or nothing when the user cancelled.
    virtual std::optional<QString> inputText(QWidget* parent, const InputRequest& request) = 0;

    // Shorthands for the common one-button messages.
    void inform(QWidget* parent, const QString& text, const QString& caption);
    void warn(QWidget* parent, const QString& text, const QString& caption);
    void critical(QWidget* parent, const QString& text, const QString& caption);
};

// The real prompter: QMessageBox, QFileDialog and QInputDialog.
class QtPrompter : public Prompter {
public:
    MsgAnswer message(QWidget* parent, const MessageRequest& request) override;
    QString saveFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString openFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString chooseFolder(QWidget* parent, const QString& title, const QString& folder) override;
    std::optional<QString> inputText(QWidget* parent, const InputRequest& request) override;
};

} // namespace kolva
