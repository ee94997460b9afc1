#pragma once
// The background layer of the tree map: the lines and areas of a GIS file
// the office has (street centre lines, parcels) in any vector format GDAL
// reads, turned to longitude and latitude (WGS 84) and then to map units.
// No widget is touched; a file is read on a worker thread.

#include "store/errors.h"

#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <stdexcept>
#include <vector>

namespace kolva {

class Progress;

// A file that cannot be a background layer, said in words.
class MapLayerError : public FileError {
public:
    explicit MapLayerError(const QString& message) : FileError(message) {}
    QString message() const { return userText(); }
};

// A line or the ring of an area, in map units (see treemapdata.h).
struct MapShape {
    QPolygonF points;
    bool area = false; // a ring of a polygon, drawn filled
    QRectF bounds;
};

struct MapLayer {
    QString path;
    std::vector<MapShape> shapes;
    QRectF extent;
    // Features with no line or area (points, empty geometries) or whose
    // coordinates could not be turned into longitude and latitude.
    qint64 skipped = 0;
    bool cancelled = false;
};

// Reads every line and area of every layer of the file at path. Throws
// MapLayerError when the file is missing, is not a file GDAL reads as
// vector data, has no lines or areas, or has coordinates without a
// coordinate system that are not longitude and latitude. Cancel is
// offered and honoured while features are read.
MapLayer readMapLayer(const QString& path, Progress& progress);

} // namespace kolva
