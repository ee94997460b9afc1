#include "app/refsheet.h"

#include "store/correctiveactions.h"
#include "store/database.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace kolva {

void writeCorrectiveActionSheet(Database& db, const QString& pdfPath)
{
    struct Row {
        QString code, shortName, description;
    };
    QList<Row> rows;
    const QStringList captions = correctiveActionCaptions();
    QSqlQuery q = db.query(QStringLiteral("SELECT CA_Code, CA_Description FROM _tblCorrAction ORDER BY CA_Code"));
    while (q.next()) {
        const int code = q.value(0).toInt();
        const QString caption = code >= 1 && code <= captions.size() ? captions.at(code - 1) : QString();
        rows.append({QString::number(code), caption.section(QStringLiteral(". "), 1), q.value(1).toString()});
    }

    QPdfWriter pdf(pdfPath);
    pdf.setTitle(QStringLiteral("KOLVA Corrective Action Codes"));
    pdf.setCreator(QStringLiteral("KOLVA"));
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                  QMarginsF(0.75, 0.75, 0.75, 0.75), QPageLayout::Inch));
    pdf.setResolution(1200);
    QPainter p;
    if (!p.begin(&pdf))
        throw DbError(QStringLiteral("could not write %1").arg(pdfPath));

    const qreal dpi = pdf.resolution();
    const auto in = [dpi](qreal inches) { return inches * dpi; };
    const qreal width = pdf.width();
    QFont title(QStringLiteral("Arial"), 20, QFont::Bold);
    QFont body(QStringLiteral("Arial"), 11);
    QFont bold(QStringLiteral("Arial"), 11, QFont::Bold);

    qreal y = 0;
    p.setFont(title);
    p.setPen(QColor(0, 0, 160));
    p.drawText(QRectF(0, y, width, in(0.45)), Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("KOLVA Corrective Action Codes"));
    y += in(0.5);
    p.setFont(body);
    p.setPen(Qt::black);
    p.drawText(QRectF(0, y, width, in(0.6)), Qt::AlignHCenter | Qt::TextWordWrap,
               QStringLiteral("A tree's corrective actions are recorded as a list of these codes separated by "
                              "commas, for example 3,9 for Remove Tree and Reduce Height."));
    y += in(0.75);

    const qreal rowHeight = in(0.42);
    const qreal cols[] = {0, in(0.8), in(2.7), width};
    const auto drawRow = [&](const QStringList& cells, bool header) {
        if (header)
            p.fillRect(QRectF(0, y, width, rowHeight), QColor(224, 224, 224));
        p.setFont(header ? bold : body);
        p.setPen(QPen(Qt::black, in(0.01)));
        p.drawRect(QRectF(0, y, width, rowHeight));
        for (int c = 0; c < 3; ++c) {
            const QRectF cell(cols[c] + in(0.08), y, cols[c + 1] - cols[c] - in(0.16), rowHeight);
            p.drawText(cell, (c == 0 ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter, cells.at(c));
            if (c > 0)
                p.drawLine(QPointF(cols[c], y), QPointF(cols[c], y + rowHeight));
        }
        y += rowHeight;
    };
    drawRow({QStringLiteral("Code"), QStringLiteral("On the handheld"), QStringLiteral("Corrective Action")}, true);
    for (const Row& row : std::as_const(rows))
        drawRow({row.code, row.shortName, row.description}, false);

    y += in(0.4);
    p.setFont(body);
    p.drawText(QRectF(0, y, width, in(0.8)), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("The reports \"Trees Needing Corrective Action\" and \"Trees Needing A Specific "
                              "Corrective Action\" list the trees by these codes; the cost summary prices each "
                              "code by the tree's trunk diameter (DBH)."));
    if (!p.end())
        throw DbError(QStringLiteral("could not write %1").arg(pdfPath));
}

} // namespace kolva
