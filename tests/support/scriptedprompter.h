#pragma once
// The prompter of the tests: records every prompt and answers each from a
// script. A prompt nobody scripted an answer for fails the test, and so does
// a scripted answer left unused at the end.

#include "platform/prompter.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace kolva::test {

struct PromptRecord {
    enum class Kind { Message, SaveFile, OpenFile, Folder, Input };
    Kind kind = Kind::Message;
    MessageRequest message;  // Kind::Message
    FileDialogRequest file;  // Kind::SaveFile, Kind::OpenFile
    InputRequest input;      // Kind::Input
    QString folderTitle;     // Kind::Folder
    QString folderStart;     // Kind::Folder
    bool busyCursor = false; // the busy pointer was showing when the prompt came
};

class ScriptedPrompter : public Prompter {
public:
    ~ScriptedPrompter() override;

    // Scripted answers, taken in order.
    ScriptedPrompter& answer(MsgAnswer answer);
    ScriptedPrompter& answerFile(const QString& path);        // empty: cancelled
    ScriptedPrompter& answerFolder(const QString& path);      // empty: cancelled
    ScriptedPrompter& answerInput(std::optional<QString> text); // nothing: cancelled

    const std::vector<PromptRecord>& prompts() const { return prompts_; }
    // The texts of the messages shown, in order.
    QStringList messageTexts() const;
    const PromptRecord& last() const;
    bool scriptDone() const { return script_.empty(); }
    void clear();

    // Runs when a prompt comes, before it is answered (to look at the
    // window while the message shows, say).
    std::function<void(const PromptRecord&)> onPrompt;

    MsgAnswer message(QWidget* parent, const MessageRequest& request) override;
    QString saveFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString openFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString chooseFolder(QWidget* parent, const QString& title, const QString& folder) override;
    std::optional<QString> inputText(QWidget* parent, const InputRequest& request) override;

private:
    struct FileAnswer { QString path; };
    struct FolderAnswer { QString path; };
    struct InputAnswer { std::optional<QString> text; };
    using Answer = std::variant<MsgAnswer, FileAnswer, FolderAnswer, InputAnswer>;

    template <class T>
    std::optional<T> take(const PromptRecord& record);
    void record(PromptRecord record);

    std::deque<Answer> script_;
    std::vector<PromptRecord> prompts_;
};

} // namespace kolva::test
