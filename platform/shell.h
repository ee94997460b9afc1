#pragma once
// Opens a document or an address with the user's associated program and
// answers with the Windows shell's result codes, so that callers can tell
// the user what went wrong in the program's own words.

#include <QString>

class QWidget;

namespace kolva {

namespace ShellResult {
constexpr int FileNotFound = 2;    // the file or address does not exist
constexpr int NoAssociation = 31;  // no program is associated with this type of file
constexpr int Started = 42;        // any answer above 32 means success
} // namespace ShellResult

class Shell {
public:
    virtual ~Shell() = default;
    // Opens target (a file path or an address) with verb "open". showMode is
    // the window show mode the caller asks for (5 shown normally, 0 hidden).
    virtual int open(QWidget* owner, const QString& target, const QString& workingDir, int showMode) = 0;
};

// The desktop's opener: ShellExecute on Windows, xdg-open elsewhere.
class DesktopShell : public Shell {
public:
    int open(QWidget* owner, const QString& target, const QString& workingDir, int showMode) override;
};

} // namespace kolva
