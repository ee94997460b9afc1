#include "tests/support/scriptedprompter.h"

#include "platform/busycursor.h"

#include <gtest/gtest.h>

namespace kolva::test {

namespace {

QString describe(const PromptRecord& record)
{
    switch (record.kind) {
    case PromptRecord::Kind::Message:
        return QStringLiteral("message \"%1\" (caption \"%2\")").arg(record.message.text, record.message.caption);
    case PromptRecord::Kind::SaveFile: return QStringLiteral("save dialog \"%1\"").arg(record.file.title);
    case PromptRecord::Kind::OpenFile: return QStringLiteral("open dialog \"%1\"").arg(record.file.title);
    case PromptRecord::Kind::Folder: return QStringLiteral("folder dialog \"%1\"").arg(record.folderTitle);
    case PromptRecord::Kind::Input: return QStringLiteral("input box \"%1\"").arg(record.input.prompt);
    }
    return {};
}

} // namespace

ScriptedPrompter::~ScriptedPrompter()
{
    if (!script_.empty())
        ADD_FAILURE() << script_.size() << " scripted answer(s) were never asked for";
}

ScriptedPrompter& ScriptedPrompter::answer(MsgAnswer answer)
{
    script_.emplace_back(answer);
    return *this;
}

ScriptedPrompter& ScriptedPrompter::answerFile(const QString& path)
{
    script_.emplace_back(FileAnswer{path});
    return *this;
}

ScriptedPrompter& ScriptedPrompter::answerFolder(const QString& path)
{
    script_.emplace_back(FolderAnswer{path});
    return *this;
}

ScriptedPrompter& ScriptedPrompter::answerInput(std::optional<QString> text)
{
    script_.emplace_back(InputAnswer{std::move(text)});
    return *this;
}

QStringList ScriptedPrompter::messageTexts() const
{
    QStringList texts;
    for (const PromptRecord& record : prompts_) {
        if (record.kind == PromptRecord::Kind::Message)
            texts.append(record.message.text);
    }
    return texts;
}

const PromptRecord& ScriptedPrompter::last() const
{
    static const PromptRecord none;
    if (prompts_.empty()) {
        ADD_FAILURE() << "no prompt was shown";
        return none;
    }
    return prompts_.back();
}

void ScriptedPrompter::clear()
{
    prompts_.clear();
    script_.clear();
}

void ScriptedPrompter::record(PromptRecord record)
{
    record.busyCursor = busyCursorShown();
    prompts_.push_back(record);
    if (onPrompt)
        onPrompt(prompts_.back());
}

template <class T>
std::optional<T> ScriptedPrompter::take(const PromptRecord& record)
{
    if (script_.empty()) {
        ADD_FAILURE() << "Unexpected " << describe(record).toStdString();
        return std::nullopt;
    }
    if (!std::holds_alternative<T>(script_.front())) {
        ADD_FAILURE() << "The script has another kind of answer ready for " << describe(record).toStdString();
        return std::nullopt;
    }
    T answer = std::get<T>(script_.front());
    script_.pop_front();
    return answer;
}

MsgAnswer ScriptedPrompter::message(QWidget*, const MessageRequest& request)
{
    PromptRecord r;
    r.kind = PromptRecord::Kind::Message;
    r.message = request;
    record(r);
    return take<MsgAnswer>(r).value_or(request.defaultButton);
}

QString ScriptedPrompter::saveFileName(QWidget*, const FileDialogRequest& request)
{
    PromptRecord r;
    r.kind = PromptRecord::Kind::SaveFile;
    r.file = request;
    record(r);
    const auto answer = take<FileAnswer>(r);
    return answer ? answer->path : QString();
}

QString ScriptedPrompter::openFileName(QWidget*, const FileDialogRequest& request)
{
    PromptRecord r;
    r.kind = PromptRecord::Kind::OpenFile;
    r.file = request;
    record(r);
    const auto answer = take<FileAnswer>(r);
    return answer ? answer->path : QString();
}

QString ScriptedPrompter::chooseFolder(QWidget*, const QString& title, const QString& folder)
{
    PromptRecord r;
    r.kind = PromptRecord::Kind::Folder;
    r.folderTitle = title;
    r.folderStart = folder;
    record(r);
    const auto answer = take<FolderAnswer>(r);
    return answer ? answer->path : QString();
}

std::optional<QString> ScriptedPrompter::inputText(QWidget*, const InputRequest& request)
{
    PromptRecord r;
    r.kind = PromptRecord::Kind::Input;
    r.input = request;
    record(r);
    const auto answer = take<InputAnswer>(r);
    return answer ? answer->text : std::nullopt;
}

} // namespace kolva::test
