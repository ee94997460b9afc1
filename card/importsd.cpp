#include "card/importsd.h"

#include "platform/busycursor.h"
#include "platform/clock.h"
#include "platform/drivelist.h"
#include "platform/failure.h"
#include "platform/progress.h"
#include "platform/prompter.h"
#include "store/database.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>

#include <memory>

namespace kolva {

namespace {

const QString JobTitle = QStringLiteral("Importing Field Data");

// One import from the click to its closing message.
struct ImportRun {
    ImportRun(const AppContext& context, const ImportSdControls& controls, CardImportRequest request,
              std::function<void()> done)
        : context(context), window(controls.window), button(controls.cmdImportSD), import(std::move(request)),
          done(std::move(done))
    {
    }

    // Shows the message and makes the button usable again.
    void finish(const MessageRequest& message)
    {
        context.prompter.message(window, message);
        end();
    }
    void end()
    {
        if (button)
            button->setEnabled(true);
        if (done)
            done();
    }
    // A failure nobody expected (out of memory, say): said, not swallowed.
    void failed(std::exception_ptr error)
    {
        FailureReport report;
        report.caption = QStringLiteral("Data Import Failed");
        report.text = QStringLiteral("The import stopped: %1");
        report.icon = MsgIcon::Critical;
        reportFailure(context.prompter, window, report, error);
        end();
    }

    AppContext context;
    QPointer<QWidget> window;
    QPointer<QPushButton> button;
    CardImport import;
    std::function<void()> done;
};

void finishImport(const std::shared_ptr<ImportRun>& run, bool importAgain)
{
    BackgroundJob::start(
        run->window, JobTitle, [run, importAgain](Progress& progress) { run->import.finish(progress, importAgain); },
        [run](std::exception_ptr error) {
            if (error)
                return run->failed(error);
            run->finish(importsd::closingMessage(run->import.result()));
        });
}

} // namespace

void importFieldData(const AppContext& context, const ImportSdControls& controls, CardFiles& files,
                     std::function<void()> done)
{
    Prompter& prompter = context.prompter;
    const QString root = controls.Drive1->selectedRoot();

    if (controls.Drive1->selectedIsSystem()) {
        const MsgAnswer answer = prompter.message(
            controls.window, {importsd::systemVolumeQuestion(displayFolder(root)), QStringLiteral("Confirm Drive Location"),
                              MsgIcon::Question, MsgButtons::OkCancel, MsgAnswer::Cancel});
        if (answer != MsgAnswer::Ok) {
            if (done)
                done();
            return;
        }
    }
    controls.cmdImportSD->setEnabled(false);

    CardImportRequest request;
    request.cardRoot = root;
    request.dataDir = context.dataDir;
    request.databasePath = context.db.path();
    request.keepBackup = controls.chkSavePDAFiles->isChecked();
    request.now = context.clock.now();
    request.user = operatingSystemUser();
    request.files = &files;
    auto run = std::make_shared<ImportRun>(context, controls, std::move(request), std::move(done));

    bool ready = false;
    {
        BusyCursor busy;
        ready = run->import.prepare();
    }
    if (!ready)
        return run->finish(importsd::closingMessage(run->import.result()));

    QStringList names;
    const CardNames& onCard = run->import.scan().files;
    constexpr qint64 Batch = 4096;
    try {
        for (qint64 from = 0; from < onCard.size(); from += Batch)
            for (const std::filesystem::path& name : onCard.range(from, Batch))
                names << shownName(name);
    } catch (const SpillError&) {
        // The names a large card keeps in the data folder cannot be read back.
        return run->failed(std::current_exception());
    }
    for (const NamedFile& file : run->import.scan().leftAlone)
        names << file.name;
    controls.File1->clear();
    controls.File1->addItems(names);
    prompter.inform(controls.window, importsd::countMessage(run->import.scan().count()), QStringLiteral("Tree Count"));

    BackgroundJob::start(
        run->window, JobTitle, [run](Progress& progress) { run->import.importFiles(progress); },
        [run](std::exception_ptr error) {
            if (error)
                return run->failed(error);
            const std::optional<AlreadyImported> already = run->import.alreadyImported();
            if (!already)
                return run->finish(importsd::closingMessage(run->import.result()));
            // Files imported before: nothing is saved until the user answers.
            const bool importAgain =
                run->context.prompter.message(run->window, importsd::alreadyImportedPrompt(*already)) == MsgAnswer::Yes;
            finishImport(run, importAgain);
        });
}

} // namespace kolva
