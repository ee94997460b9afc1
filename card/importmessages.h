#pragma once
// The messages of the field data import, built from its result without any
// window, so that the Main window and a command line tell the same.

#include "card/fieldimport.h"
#include "platform/prompter.h"

namespace kolva::importsd {

QString systemVolumeQuestion(const QString& drive);
QString notACardMessage(const QString& drive);
QString countMessage(int count);
// The question about files imported before: Yes or No, No the default.
MessageRequest alreadyImportedPrompt(const AlreadyImported& already);
// A message names this many files at most; the import log has all.
constexpr int ListedNames = 20;

// The message that ends an import, whichever way it ended, naming at most
// listedNames files (a command line names them all).
MessageRequest closingMessage(const CardImportResult& result, int listedNames = ListedNames);

} // namespace kolva::importsd
