#pragma once
// Opening the reference document and the product web page with the user's
// associated programs, with failures told in the program's own words.

#include <QString>

class QWidget;

namespace kolva {

class Prompter;
class Shell;

// Opens a document file with its associated program.
void OpenDocument(Prompter& prompter, Shell& shell, QWidget* owner, const QString& path);

// Opens an address in the browser; true when the shell accepted it.
bool OpenWebPage(Prompter& prompter, Shell& shell, QWidget* owner, const QString& address, int showMode,
                 const QString& programDir);

} // namespace kolva
