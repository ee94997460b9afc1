#include "trees/maplayer.h"

#include "platform/progress.h"
#include "trees/treemapdata.h"

#include <QFileInfo>

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <memory>
#include <mutex>

namespace kolva {

namespace {

void registerDrivers()
{
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

// GDAL's own words for the last failure of this thread, or fallback.
QString gdalReason(const QString& fallback)
{
    const QString message = QString::fromUtf8(CPLGetLastErrorMsg()).trimmed();
    return message.isEmpty() ? fallback : message;
}

struct DatasetCloser {
    void operator()(void* dataset) const { GDALClose(dataset); }
};
struct SrsReleaser {
    void operator()(void* srs) const { OSRRelease(static_cast<OGRSpatialReferenceH>(srs)); }
};
struct TransformDestroyer {
    void operator()(void* transform) const
    {
        OCTDestroyCoordinateTransformation(static_cast<OGRCoordinateTransformationH>(transform));
    }
};
struct FeatureDestroyer {
    void operator()(void* feature) const { OGR_F_Destroy(static_cast<OGRFeatureH>(feature)); }
};
struct GeometryDestroyer {
    void operator()(void* geometry) const { OGR_G_DestroyGeometry(static_cast<OGRGeometryH>(geometry)); }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;
using Srs = std::unique_ptr<void, SrsReleaser>;
using Transform = std::unique_ptr<void, TransformDestroyer>;
using Feature = std::unique_ptr<void, FeatureDestroyer>;
using Geometry = std::unique_ptr<void, GeometryDestroyer>;

// Adds the lines and rings of a linear geometry (in longitude and latitude)
// to the layer; false when it has none.
bool addShapes(OGRGeometryH geometry, MapLayer& layer)
{
    const OGRwkbGeometryType type = wkbFlatten(OGR_G_GetGeometryType(geometry));
    const auto addLine = [&layer](OGRGeometryH line, bool area) {
        const int n = OGR_G_GetPointCount(line);
        if (n < 2)
            return false;
        MapShape shape;
        shape.area = area;
        shape.points.reserve(n);
        for (int i = 0; i < n; ++i) {
            const double lon = OGR_G_GetX(line, i), lat = OGR_G_GetY(line, i);
            if (!std::isfinite(lon) || !std::isfinite(lat) || lat < -90 || lat > 90 || lon < -540 || lon > 540)
                return false;
            shape.points << projectLonLat(lon, lat);
        }
        shape.bounds = shape.points.boundingRect();
        layer.extent = layer.extent.isNull() ? shape.bounds : layer.extent.united(shape.bounds);
        layer.shapes.push_back(std::move(shape));
        return true;
    };
    switch (type) {
    case wkbLineString:
    case wkbLinearRing:
        return addLine(geometry, false);
    case wkbPolygon: {
        bool any = false;
        for (int i = 0; i < OGR_G_GetGeometryCount(geometry); ++i)
            any = addLine(OGR_G_GetGeometryRef(geometry, i), true) || any;
        return any;
    }
    case wkbMultiLineString:
    case wkbMultiPolygon:
    case wkbGeometryCollection: {
        bool any = false;
        for (int i = 0; i < OGR_G_GetGeometryCount(geometry); ++i)
            any = addShapes(OGR_G_GetGeometryRef(geometry, i), layer) || any;
        return any;
    }
    default:
        return false;
    }
}

} // namespace

MapLayer readMapLayer(const QString& path, Progress& progress)
{
    MapLayer layer;
    layer.path = path;
    const QFileInfo info(path);
    // Only a file or folder of this computer: never a network address or
    // one of GDAL's virtual file systems that a stored setting might name.
    if (path.isEmpty() || path.startsWith(QLatin1String("/vsi")) || path.contains(QLatin1String("://")))
        throw MapLayerError(QStringLiteral("%1 is not a file.").arg(path));
    if (!info.exists())
        throw MapLayerError(QStringLiteral("%1 does not exist.").arg(path));
    if (!info.isFile() && !info.isDir())
        throw MapLayerError(QStringLiteral("%1 is not a regular file.").arg(path));

    registerDrivers();
    progress.beginStage(QStringLiteral("Reading the background layer"), 0);
    progress.setCancellable(true);
    CPLErrorReset();
    const QByteArray name = QFile::encodeName(path);
    const Dataset dataset(GDALOpenEx(name.constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!dataset)
        throw MapLayerError(QStringLiteral("%1 cannot be read as a GIS file: %2")
                                .arg(path, gdalReason(QStringLiteral("no GIS format knows it"))));

    const Srs wgs84(OSRNewSpatialReference(nullptr));
    OSRSetWellKnownGeogCS(static_cast<OGRSpatialReferenceH>(wgs84.get()), "WGS84");
    OSRSetAxisMappingStrategy(static_cast<OGRSpatialReferenceH>(wgs84.get()), OAMS_TRADITIONAL_GIS_ORDER);

    qint64 total = 0;
    const int layers = GDALDatasetGetLayerCount(dataset.get());
    for (int l = 0; l < layers; ++l)
        total += std::max<GIntBig>(0, OGR_L_GetFeatureCount(GDALDatasetGetLayer(dataset.get(), l), FALSE));
    progress.beginStage(QStringLiteral("Reading the background layer"), total);

    qint64 done = 0;
    for (int l = 0; l < layers; ++l) {
        OGRLayerH source = GDALDatasetGetLayer(dataset.get(), l);
        Transform transform;
        if (OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(source)) {
            const Srs from(OSRClone(srs));
            OSRSetAxisMappingStrategy(static_cast<OGRSpatialReferenceH>(from.get()), OAMS_TRADITIONAL_GIS_ORDER);
            if (!OSRIsGeographic(static_cast<OGRSpatialReferenceH>(from.get()))
                || !OSRIsSame(static_cast<OGRSpatialReferenceH>(from.get()), static_cast<OGRSpatialReferenceH>(wgs84.get()))) {
                transform.reset(OCTNewCoordinateTransformation(static_cast<OGRSpatialReferenceH>(from.get()),
                                                               static_cast<OGRSpatialReferenceH>(wgs84.get())));
                if (!transform)
                    throw MapLayerError(QStringLiteral("The coordinates of %1 cannot be turned into longitude and "
                                                       "latitude: %2")
                                            .arg(path, gdalReason(QStringLiteral("unknown coordinate system"))));
            }
        }
        OGR_L_ResetReading(source);
        while (true) {
            const Feature feature(OGR_L_GetNextFeature(source));
            if (!feature)
                break;
            if (++done % 1024 == 0) {
                progress.advance(done);
                if (progress.cancelRequested()) {
                    layer.cancelled = true;
                    return layer;
                }
            }
            OGRGeometryH geometry = OGR_F_GetGeometryRef(static_cast<OGRFeatureH>(feature.get()));
            if (!geometry || OGR_G_IsEmpty(geometry)) {
                ++layer.skipped;
                continue;
            }
            // Curves become lines; then the coordinates are turned.
            const Geometry linear(OGR_G_GetLinearGeometry(geometry, 0, nullptr));
            if (!linear || (transform && OGR_G_Transform(static_cast<OGRGeometryH>(linear.get()),
                                                          static_cast<OGRCoordinateTransformationH>(transform.get()))
                                             != OGRERR_NONE)) {
                ++layer.skipped;
                continue;
            }
            if (!addShapes(static_cast<OGRGeometryH>(linear.get()), layer))
                ++layer.skipped;
        }
    }
    if (progress.cancelRequested()) {
        layer.cancelled = true;
        return layer;
    }
    if (layer.shapes.empty())
        throw MapLayerError(layer.skipped > 0
                                ? QStringLiteral("%1 holds no lines or areas that can be placed on the map (%2 "
                                                 "features without them, or with coordinates that are not longitude "
                                                 "and latitude and no coordinate system).")
                                      .arg(path)
                                      .arg(layer.skipped)
                                : QStringLiteral("%1 holds no lines or areas to draw.").arg(path));
    return layer;
}

} // namespace kolva
