#include "platform/prompter.h"

#include "platform/windowstays.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace kolva {

namespace {

QMessageBox::Icon qtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton qtButton(MsgAnswer answer)
{
    switch (answer) {
    case MsgAnswer::Ok: return QMessageBox::Ok;
    case MsgAnswer::Cancel: return QMessageBox::Cancel;
    case MsgAnswer::Yes: return QMessageBox::Yes;
    case MsgAnswer::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

// A message box waits for its answer; the busy pointer would hide that the
// program is waiting for the user, so the normal arrow shows meanwhile.
class ArrowWhileAsking {
public:
    ArrowWhileAsking()
    {
        if (QApplication::overrideCursor()) {
            QApplication::setOverrideCursor(Qt::ArrowCursor);
            pushed_ = true;
        }
    }
    ~ArrowWhileAsking()
    {
        if (pushed_)
            QApplication::restoreOverrideCursor();
    }
    ArrowWhileAsking(const ArrowWhileAsking&) = delete;
    ArrowWhileAsking& operator=(const ArrowWhileAsking&) = delete;

private:
    bool pushed_ = false;
};

} // namespace

MsgAnswer QtPrompter::message(QWidget* parent, const MessageRequest& request)
{
    WindowStaysWhileAsking stays(parent);
    ArrowWhileAsking arrow;
    QMessageBox box(qtIcon(request.icon), request.caption, request.text, QMessageBox::NoButton, parent);
    switch (request.buttons) {
    case MsgButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    case MsgButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    }
    box.setDefaultButton(qtButton(request.defaultButton));
    switch (box.exec()) {
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Ok: return MsgAnswer::Ok;
    default: break;
    }
    // Closed by the window manager: the safe answer of each button set.
    switch (request.buttons) {
    case MsgButtons::Ok: return MsgAnswer::Ok;
    case MsgButtons::OkCancel: return MsgAnswer::Cancel;
    case MsgButtons::YesNo: return MsgAnswer::No;
    }
    return MsgAnswer::Cancel;
}

namespace {

QString runFileDialog(QWidget* parent, const FileDialogRequest& request, QFileDialog::AcceptMode mode)
{
    WindowStaysWhileAsking stays(parent);
    ArrowWhileAsking arrow;
    QFileDialog dialog(parent, request.title, request.folder, request.filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite); // callers ask their own question
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    // A proposed name made of wildcards is a filter hint, not a file name.
    if (!request.proposedName.isEmpty() && !request.proposedName.contains(QLatin1Char('*')))
        dialog.selectFile(request.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

} // namespace

QString QtPrompter::saveFileName(QWidget* parent, const FileDialogRequest& request)
{
    return runFileDialog(parent, request, QFileDialog::AcceptSave);
}

QString QtPrompter::openFileName(QWidget* parent, const FileDialogRequest& request)
{
    return runFileDialog(parent, request, QFileDialog::AcceptOpen);
}

QString QtPrompter::chooseFolder(QWidget* parent, const QString& title, const QString& folder)
{
    WindowStaysWhileAsking stays(parent);
    ArrowWhileAsking arrow;
    return QFileDialog::getExistingDirectory(parent, title, folder);
}

std::optional<QString> QtPrompter::inputText(QWidget* parent, const InputRequest& request)
{
    WindowStaysWhileAsking stays(parent);
    ArrowWhileAsking arrow;
    bool ok = false;
    // The label is the line's buddy, which makes an "&" an access key: the
    // prompt's own "&" (in a server address, say) is doubled to show as it is.
    QString prompt = request.prompt;
    prompt.replace(QLatin1Char('&'), QStringLiteral("&&"));
    const QString text =
        QInputDialog::getText(parent, request.title, prompt,
                              request.password ? QLineEdit::Password : QLineEdit::Normal, request.initialText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

} // namespace kolva
