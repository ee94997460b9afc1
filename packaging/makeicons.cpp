// Draws the menu entry's icons from the logo the program paints itself:
// OUTDIR/NxN/apps/kolva.png for each size of the hicolor theme, and
// OUTDIR/scalable/apps/kolva.svg where Qt's SVG module is at hand.

#include "app/logo.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#ifdef KOLVA_SVG_ICON
#include <QSvgGenerator>
#endif

#include <cstdio>

namespace {

bool fail(const QString& what)
{
    std::fprintf(stderr, "kolva-icons: %s\n", qPrintable(what));
    return false;
}

bool save(const QString& path, const QByteArray& bytes)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return fail(QStringLiteral("cannot make the folder of %1").arg(path));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    return true;
}

bool writePng(const QString& dir, int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        kolva::paintKolvaLogo(painter, size);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return fail(QStringLiteral("cannot encode the %1 pixel icon").arg(size));
    return save(QStringLiteral("%1/%2x%2/apps/kolva.png").arg(dir).arg(size), bytes);
}

#ifdef KOLVA_SVG_ICON
bool writeSvg(const QString& dir)
{
    constexpr int side = 256;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(QSize(side, side));
    generator.setViewBox(QRect(0, 0, side, side));
    generator.setTitle(QStringLiteral("KOLVA"));
    generator.setDescription(kolva::productLongName());
    {
        QPainter painter(&generator);
        kolva::paintKolvaLogo(painter, side);
    }
    return save(dir + QStringLiteral("/scalable/apps/kolva.svg"), bytes);
}
#endif

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kolva-icons OUTDIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        if (!writePng(dir, size))
            return 1;
    }
#ifdef KOLVA_SVG_ICON
    if (!writeSvg(dir))
        return 1;
#endif
    return 0;
}
