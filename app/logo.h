#pragma once
// The product's pictures, drawn rather than shipped as image files.

#include <QPixmap>
#include <QString>

namespace kolva {

QString productLongName();
// A street tree in a green disc.
QPixmap kolvaLogo(int size);
// The risk rating mark: a shield with a check.
QPixmap kolvaRiskMark(int size);

} // namespace kolva
