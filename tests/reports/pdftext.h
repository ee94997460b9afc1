#pragma once
// Reading a PDF file the way a user would: its text (pdftotext), its page
// count and size (pdfinfo) and its fonts (pdffonts).

#include <QProcess>
#include <QString>
#include <QStringList>

namespace kolva::test {

inline QString runTool(const QString& tool, const QStringList& arguments)
{
    QProcess p;
    p.start(tool, arguments);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of the whole file, laid out as on the page.
inline QString pdfText(const QString& path)
{
    return runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
}

// The text of each page.
inline QStringList pdfPages(const QString& path)
{
    QStringList pages = pdfText(path).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.constLast().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

inline QString pdfInfo(const QString& path, const QString& field)
{
    for (const QString& line : runTool(QStringLiteral("pdfinfo"), {path}).split(QLatin1Char('\n'))) {
        if (line.startsWith(field + QLatin1Char(':')))
            return line.mid(field.size() + 1).trimmed();
    }
    return {};
}

// The fonts the file uses, as pdffonts lists them.
inline QString pdfFonts(const QString& path)
{
    return runTool(QStringLiteral("pdffonts"), {path});
}

inline int pdfPageCount(const QString& path)
{
    const QString pages = pdfInfo(path, QStringLiteral("Pages"));
    return pages.isEmpty() ? -1 : pages.toInt();
}

inline QString pdfPageSize(const QString& path)
{
    return pdfInfo(path, QStringLiteral("Page size"));
}

} // namespace kolva::test
