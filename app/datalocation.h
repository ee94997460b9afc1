#pragma once
// Where KOLVA keeps its data. A KOLVA.MDB beside the program (a portable
// copy, the build folder) is used there, with its backups and logs beside it.
// An installed KOLVA (no KOLVA.MDB beside the program, the supplied database
// installed) keeps them in the user's data folder, $XDG_DATA_HOME/kolva,
// where the first start makes the database from the supplied one. A database
// given with --database, else one set in the settings, wins over both; that
// one may be a PostgreSQL database named by its URI (store/databasetarget.h),
// whose backups and logs then go to the user's data folder.

#include <QString>

namespace kolva {

class Settings;

// The folders of the environment the program runs in.
struct EnvironmentFolders {
    QString userDataDir;      // $XDG_DATA_HOME/kolva
    QString templateDatabase; // the supplied database an installed KOLVA starts from

    // This program's: QStandardPaths for the user's folder, the installed
    // supplied database where the build names one.
    static EnvironmentFolders current();
};

struct DataLocation {
    enum class Source {
        Option,        // --database
        Settings,      // the database set in the settings
        BesideProgram, // KOLVA.MDB in the program folder
        UserData,      // the user's data folder of an installed KOLVA
    };
    QString databasePath;
    // The folder of the database: the card import's backup folders and the
    // import and conversion logs go there.
    QString dataDir;
    Source source = Source::BesideProgram;
    // There is no database yet: it is to be made from this supplied one
    // (the first start of an installed KOLVA); "" otherwise.
    QString makeFrom;
};

// Chooses the database: the --database value, else the one in the settings,
// else KOLVA.MDB beside the program when it is there (or when KOLVA is not
// installed), else KOLVA.MDB in the user's data folder. Looks at the file
// system only to see what exists; changes nothing.
DataLocation resolveDataLocation(const QString& programDir, const EnvironmentFolders& folders,
                                 const Settings& settings, const QString& databaseOption);

// Makes location.databasePath from location.makeFrom (the folder too), never
// over a database another start made meanwhile. Returns "" when done (or
// when nothing was to be made), else the reason in words.
QString makeUserDatabase(const DataLocation& location);

// What the first start of an installed KOLVA tells the user.
QString firstStartMessage(const DataLocation& location);

} // namespace kolva
