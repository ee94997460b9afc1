#pragma once
// The formats a report is composed with: the column format strings of its
// tables, lengths in inches, and the parts of its page header and footer
// texts (see reports/reportdocument.h for both formats).

#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace kolva {

// One column of a table: its alignment, width and the "+" mark.
struct ColumnFormat {
    Qt::Alignment alignment = Qt::AlignLeft;
    bool plus = false;
    double widthInches = 0;
};

// Reads a column format string; throws std::invalid_argument naming the column
// that is not understood.
std::vector<ColumnFormat> parseColumnFormat(const QString& format);

// The text for a page header or footer that prints as written: its "|" and
// "%" are no part of the header's format.
QString headerLiteral(const QString& text);

// A length text such as "0.75in" or ".5in" in inches; a bare number is
// inches too. Throws std::invalid_argument for anything else.
double parseInches(const QString& length);

namespace layout {

// A header or footer text of a page, split into its left, centre and right
// parts, each in lines.
struct Part {
    QStringList left, centre, right;
    int lineCount() const { return int(std::max({left.size(), centre.size(), right.size()})); }
};

// The parts of a header or footer text of a page (0: no page, the tokens
// taken out). A third "|" and any after it belong to the right part.
Part splitParts(const QString& text, int pageNumber, int pageCount);

} // namespace layout

} // namespace kolva
