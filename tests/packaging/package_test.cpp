// What the Debian package holds and how Debian's tools judge it: its files
// and their modes, its dependencies, the menu entry and its icons, the manual
// page against the program's own help, and lintian.

#include "app/logo.h"
#include "store/database.h"
#include "tests/packaging/packagetest.h"
#include "tests/reports/pdftext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>

#ifdef KOLVA_SVG_ICON
#include <QSvgRenderer>
#endif

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

const int IconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

QString unpacked(const QString& path)
{
    return unpackedRoot() + path;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(Package, HoldsTheProgramTheSuppliedDatabaseTheDocumentsTheMenuEntryAndTheManualPage)
{
    KOLVA_REQUIRE_PACKAGE();
    EXPECT_EQ(QFileInfo(packageFile()).fileName(), QStringLiteral("kolva_" KOLVA_VERSION "_amd64.deb"));

    // Every file, its mode and owner: the program executable, the rest
    // readable by all, everything root's; nothing of the build (its tools,
    // a database of the build folder) comes along.
    QStringList expected = {
        "-rwxr-xr-x root/root ./usr/bin/kolva",
        "-rw-r--r-- root/root ./usr/share/kolva/KOLVA.MDB",
        "-rw-r--r-- root/root ./usr/share/doc/kolva/KOLVA_Corrective_Actions.PDF",
        "-rw-r--r-- root/root ./usr/share/doc/kolva/KOLVA_Graphic_Reports.html",
        "-rw-r--r-- root/root ./usr/share/doc/kolva/changelog.gz",
        "-rw-r--r-- root/root ./usr/share/doc/kolva/copyright",
        "-rw-r--r-- root/root ./usr/share/applications/kolva.desktop",
        "-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/kolva.svg",
        "-rw-r--r-- root/root ./usr/share/man/man1/kolva.1.gz",
    };
    for (const int size : IconSizes)
        expected << QStringLiteral("-rw-r--r-- root/root ./usr/share/icons/hicolor/%1x%1/apps/kolva.png").arg(size);
    const ToolRun list = runProgram("dpkg-deb", {"--contents", packageFile()});
    ASSERT_EQ(list.status, 0) << list.says().toStdString();
    QStringList files;
    QStringList oddFolders;
    static const QRegularExpression entry(R"(^(\S+)\s+(\S+)\s+\d+\s+\S+\s+\S+\s+(\S+)$)");
    for (const QString& line : list.out.split('\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = entry.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        if (m.captured(1).startsWith('d')) {
            if (m.captured(1) != "drwxr-xr-x" || m.captured(2) != "root/root")
                oddFolders << line;
        } else {
            files << m.captured(1) + ' ' + m.captured(2) + ' ' + m.captured(3);
        }
    }
    files.sort();
    expected.sort();
    EXPECT_EQ(files, expected) << list.out.toStdString();
    EXPECT_TRUE(oddFolders.isEmpty()) << oddFolders.join('\n').toStdString();

    // The package states what the program needs: the libraries it links
    // and what it loads at run time.
    const ToolRun fields = runProgram("dpkg-deb", {"--field", packageFile(), "Package", "Version", "Architecture", "Depends"});
    ASSERT_EQ(fields.status, 0) << fields.says().toStdString();
    EXPECT_TRUE(fields.out.startsWith("Package: kolva\nVersion: " KOLVA_VERSION "\nArchitecture: amd64\n"))
        << fields.out.toStdString();
    const QString depends = fields.out.section("Depends:", 1);
    for (const char* needed : {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6sql6 ", "libqt6printsupport6",
                               "libqt6sql6-sqlite", "libmdb3", "libsqlite3-0", "libc6", "libstdc++6",
                               "fonts-liberation2", "xdg-utils"})
        EXPECT_TRUE(depends.contains(QLatin1String(needed))) << needed << " in" << depends.toStdString();

    // The description reads as written, in lines a terminal shows whole.
    const ToolRun description = runProgram("dpkg-deb", {"--field", packageFile(), "Description"});
    QStringList lines = description.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.takeFirst(), "street tree risk assessment and inventory");
    for (QString& line : lines)
        line.remove(0, 1);
    EXPECT_EQ(lines.join('\n').toStdString(),
              readAll(QStringLiteral(KOLVA_SOURCE_DIR "/packaging/description.txt")).trimmed().toStdString());
    for (const QString& line : lines)
        EXPECT_LE(line.size(), 79) << line.toStdString();

    // The supplied database is a KOLVA database with the supplied lists and
    // no survey record, whatever the build folder's database holds.
    QTemporaryDir scratch;
    const QString copy = scratch.filePath("KOLVA.MDB");
    ASSERT_TRUE(QFile::copy(unpacked("/usr/share/kolva/KOLVA.MDB"), copy));
    auto db = Database::open(copy);
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toInt(), 0);
    EXPECT_GT(db->scalar("SELECT COUNT(*) FROM _tblCorrAction").toInt(), 0);
    EXPECT_GT(db->scalar("SELECT COUNT(*) FROM Risk_Rating").toInt(), 0);

    // The documents are the ones the menus open.
    EXPECT_TRUE(pdfText(unpacked("/usr/share/doc/kolva/KOLVA_Corrective_Actions.PDF")).contains("KOLVA Corrective Action Codes"));
    EXPECT_EQ(readAll(unpacked("/usr/share/doc/kolva/KOLVA_Graphic_Reports.html")),
              readAll(QStringLiteral(KOLVA_SOURCE_DIR "/app/help/KOLVA_Graphic_Reports.html")));
    const ToolRun changelog = runProgram("dpkg-parsechangelog", {"-l", unpacked("/usr/share/doc/kolva/changelog.gz"), "-SVersion"});
    EXPECT_EQ(changelog.out.trimmed(), QStringLiteral(KOLVA_VERSION)) << changelog.says().toStdString();
}

// The pixels of two pictures that differ by more than the rounding of
// antialiased edges (colours of nearly transparent pixels ignored).
int differingPixels(const QImage& picture, const QImage& reference)
{
    const QImage a = picture.convertToFormat(QImage::Format_ARGB32);
    const QImage b = reference.convertToFormat(QImage::Format_ARGB32);
    if (a.size() != b.size())
        return -1;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const bool alpha = std::abs(qAlpha(p) - qAlpha(q)) > 3;
            const bool colour = qAlpha(q) > 32 && (std::abs(qRed(p) - qRed(q)) > 6 || std::abs(qGreen(p) - qGreen(q)) > 6 ||
                                                   std::abs(qBlue(p) - qBlue(q)) > 6);
            if (alpha || colour)
                ++differing;
        }
    }
    return differing;
}

TEST(Package, TheMenuEntryIsValidAndShowsTheLogo)
{
    KOLVA_REQUIRE_PACKAGE();
    const QString desktop = unpacked("/usr/share/applications/kolva.desktop");
    const ToolRun validate = runProgram("desktop-file-validate", {desktop});
    EXPECT_EQ(validate.status, 0) << validate.says().toStdString();
    EXPECT_EQ(validate.says(), QString()) << "desktop-file-validate has no remark";

    QMap<QString, QString> keys;
    for (const QString& line : QString::fromUtf8(readAll(desktop)).split('\n')) {
        if (line.contains('='))
            keys.insert(line.section('=', 0, 0), line.section('=', 1));
    }
    EXPECT_EQ(keys.value("Type"), "Application");
    EXPECT_EQ(keys.value("Name"), "KOLVA");
    EXPECT_EQ(keys.value("Terminal"), "false");
    EXPECT_EQ(keys.value("Categories").split(';', Qt::SkipEmptyParts), QStringList({"Office", "Database"}));
    // It starts the program the package installs, with the package's icon.
    EXPECT_EQ(keys.value("Exec"), "kolva");
    EXPECT_TRUE(QFileInfo(unpacked("/usr/bin/" + keys.value("Exec"))).isExecutable());
    EXPECT_EQ(keys.value("Icon"), "kolva");

    // Each size is the tree logo the program draws, at that size.
    for (const int size : IconSizes) {
        const QString path = unpacked(QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/kolva.png").arg(size));
        QImage icon;
        ASSERT_TRUE(icon.load(path, "PNG")) << path.toStdString();
        ASSERT_EQ(icon.size(), QSize(size, size)) << path.toStdString();
        EXPECT_EQ(differingPixels(icon, kolvaLogo(size).toImage()), 0) << size << " px icon differs from the logo";
        // The corners stay clear, the crown is green.
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        const QRgb crown = icon.pixel(size / 2, size * 3 / 10);
        EXPECT_GT(qGreen(crown), qRed(crown) + 40) << size;
    }
    const QString svg = unpacked("/usr/share/icons/hicolor/scalable/apps/kolva.svg");
    EXPECT_TRUE(readAll(svg).startsWith("<?xml")) << "an SVG file";
#ifdef KOLVA_SVG_ICON
    // Drawn at any size, the scalable icon is the logo too.
    QSvgRenderer renderer(svg);
    ASSERT_TRUE(renderer.isValid());
    for (const int size : {40, 96}) {
        QImage drawn(size, size, QImage::Format_ARGB32);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        EXPECT_EQ(differingPixels(drawn, kolvaLogo(size).toImage()), 0) << size << " px of the scalable icon";
    }
#endif
}

// The text man shows of a manual page, as plain characters.
QString manText(const QString& page)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MANWIDTH", "200");
    env.insert("LC_ALL", "C.UTF-8");
    env.remove("MAN_KEEP_FORMATTING");
    const ToolRun man = runProgram("man", {"-l", page}, env);
    EXPECT_EQ(man.status, 0) << man.says().toStdString();
    QString text = man.out;
    text.remove(QRegularExpression(".\b"));
    text.replace(QChar(0x2010), '-').replace(QChar(0x2212), '-').replace(QChar(0x2019), '\'').replace(QChar(0x2018), '`');
    return text;
}

QSet<QString> optionsIn(const QString& text)
{
    QSet<QString> options;
    static const QRegularExpression option(R"((?<![\w-])--?[a-z][a-z-]*)");
    for (auto it = option.globalMatch(text); it.hasNext();)
        options.insert(it.next().captured());
    return options;
}

TEST(Package, TheManualPageTellsWhatTheProgramsHelpTells)
{
    KOLVA_REQUIRE_PACKAGE();
    const QString program = unpacked("/usr/bin/kolva");
    const QString page = manText(unpacked("/usr/share/man/man1/kolva.1.gz"));
    ASSERT_FALSE(page.isEmpty());

    const ToolRun version = runProgram(program, {"--version"});
    EXPECT_EQ(version.out, "kolva " KOLVA_VERSION "\n");
    EXPECT_TRUE(page.contains("kolva " KOLVA_VERSION)) << "the page is of this version";

    // The general help is laid out anew by help2man: the same options and
    // commands. Each command's help is there line for line.
    const ToolRun general = runProgram(program, {"--help"});
    ASSERT_EQ(general.status, 0) << general.says().toStdString();
    QSet<QString> helpOptions = optionsIn(general.out);
    QStringList commands;
    static const QRegularExpression commandLine(R"(\n  ([a-z][a-z-]*)  )");
    for (auto it = commandLine.globalMatch(general.out.section("\nCommands", 1).section("\n\n", 0, 0)); it.hasNext();)
        commands << it.next().captured(1);
    EXPECT_EQ(commands, QStringList({"import", "write-card", "report", "export-csv", "export-gis", "convert", "help"}));
    commands.removeAll("help"); // "kolva help COMMAND" is the commands' own help
    for (const QString& command : commands) {
        const ToolRun help = runProgram(program, {command, "--help"});
        ASSERT_EQ(help.status, 0) << command.toStdString();
        helpOptions |= optionsIn(help.out);
        EXPECT_TRUE(page.contains(QRegularExpression("\n {3,}kolva " + command + "\n"))) << command.toStdString();
        for (const QString& line : help.out.split('\n', Qt::SkipEmptyParts))
            EXPECT_TRUE(page.contains(line.trimmed())) << command.toStdString() << ": " << line.toStdString();
    }
    const QSet<QString> pageOptions = optionsIn(page);
    EXPECT_EQ(pageOptions, helpOptions) << "on the page only: "
                                        << QStringList((pageOptions - helpOptions).values()).join(' ').toStdString()
                                        << "; in the help only: "
                                        << QStringList((helpOptions - pageOptions).values()).join(' ').toStdString();
    EXPECT_TRUE(helpOptions.contains("--database") && helpOptions.contains("--backup-folder") &&
                helpOptions.contains("--version"));
}

TEST(Package, LintianFindsNoError)
{
    KOLVA_REQUIRE_PACKAGE();
    const ToolRun lintian = runProgram("lintian", {"--fail-on", "error", "--tag-display-limit", "0", packageFile()},
                                    QProcessEnvironment::systemEnvironment(), 600000);
    EXPECT_EQ(lintian.status, 0) << lintian.says().toStdString();
    EXPECT_FALSE(lintian.out.contains(QRegularExpression("^E: ", QRegularExpression::MultilineOption)))
        << lintian.out.toStdString();
    if (!lintian.out.isEmpty())
        std::printf("lintian:\n%s", qPrintable(lintian.out));
}

} // namespace
