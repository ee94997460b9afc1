#pragma once
// The product's pictures, drawn rather than shipped as image files.

#include <QPixmap>
#include <QString>

class QPainter;

namespace kolva {

QString productLongName();
// A street tree in a green disc.
QPixmap kolvaLogo(int size);
// The same, painted into a square of the given side at the painter's origin
// (the icons of the menu entry, the scalable one included).
void paintKolvaLogo(QPainter& painter, qreal size);
// The risk rating mark: a shield with a check.
QPixmap kolvaRiskMark(int size);

} // namespace kolva
