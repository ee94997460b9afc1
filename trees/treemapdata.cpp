#include "trees/treemapdata.h"

#include "platform/progress.h"
#include "store/database.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kolva {

namespace {

// The Mercator projection ends here: beyond it y grows without bound.
constexpr double MercatorLimit = 85.0511287798;
// A list of one tree (or of trees on one spot) is shown this wide (about
// 200 m).
constexpr double SmallestExtent = 0.002;

double toRadians(double degrees)
{
    return degrees * std::numbers::pi / 180.0;
}

double toDegrees(double radians)
{
    return radians * 180.0 / std::numbers::pi;
}

} // namespace

const std::vector<RiskBand>& riskBands()
{
    static const std::vector<RiskBand> bands = {
        {QStringLiteral("0 or none"), 0x9e9e9e},    {QStringLiteral("1 to 7"), 0x1a9641},
        {QStringLiteral("8 to 14"), 0xe6c619},      {QStringLiteral("15 to 21"), 0xf07c1b},
        {QStringLiteral("22 and above"), 0xc8102e},
    };
    return bands;
}

int riskBandOf(const QVariant& rating)
{
    bool ok = false;
    const qint64 value = rating.isNull() ? 0 : rating.toLongLong(&ok);
    if (!ok || value <= 0)
        return 0;
    if (value <= 7)
        return 1;
    if (value <= 14)
        return 2;
    if (value <= 21)
        return 3;
    return 4;
}

QPointF projectLonLat(double longitude, double latitude)
{
    const double lat = std::clamp(latitude, -MercatorLimit, MercatorLimit);
    return {longitude, toDegrees(std::log(std::tan(std::numbers::pi / 4 + toRadians(lat) / 2)))};
}

QPointF unprojectMapPoint(QPointF at)
{
    return {at.x(), toDegrees(2 * std::atan(std::exp(toRadians(at.y()))) - std::numbers::pi / 2)};
}

std::optional<QPointF> treePosition(const QVariant& latitude, const QVariant& longitude)
{
    if (latitude.isNull() || longitude.isNull())
        return std::nullopt;
    bool latOk = false, lonOk = false;
    const double lat = latitude.toDouble(&latOk);
    const double lon = longitude.toDouble(&lonOk);
    if (!latOk || !lonOk || !std::isfinite(lat) || !std::isfinite(lon))
        return std::nullopt;
    if (lat < -90 || lat > 90 || lon < -180 || lon > 180 || (lat == 0 && lon == 0))
        return std::nullopt;
    return projectLonLat(lon, lat);
}

// ---------------------------------------------------------------- the points

void TreeMapPoints::add(qint64 id, QPointF at, int band)
{
    ids_.push_back(id);
    at_.push_back(at);
    band_.push_back(quint8(std::clamp(band, 0, int(riskBands().size()) - 1)));
}

void TreeMapPoints::buildIndex()
{
    const size_t n = at_.size();
    if (n == 0) {
        extent_ = {};
        columns_ = rows_ = 0;
        cellStart_.clear();
        return;
    }
    double left = at_[0].x(), right = left, top = at_[0].y(), bottom = top;
    for (const QPointF& p : at_) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    const QPointF centre((left + right) / 2, (top + bottom) / 2);
    const double width = std::max(right - left, SmallestExtent);
    const double height = std::max(bottom - top, SmallestExtent);
    extent_ = QRectF(centre.x() - width / 2, centre.y() - height / 2, width, height);

    // About four trees a cell where they are spread evenly; at most 1024
    // cells a side.
    const int side = std::clamp(int(std::sqrt(double(n) / 4)), 1, 1024);
    columns_ = rows_ = side;
    cellWidth_ = width / columns_;
    cellHeight_ = height / rows_;
    const auto cellOf = [this](QPointF p) {
        const int c = std::clamp(int((p.x() - extent_.left()) / cellWidth_), 0, columns_ - 1);
        const int r = std::clamp(int((p.y() - extent_.top()) / cellHeight_), 0, rows_ - 1);
        return size_t(r) * size_t(columns_) + size_t(c);
    };
    // A counting sort of the trees by cell; the trees are then kept in that
    // order, so that the trees of an area are read one after the other.
    cellStart_.assign(size_t(columns_) * size_t(rows_) + 1, 0);
    std::vector<quint32> cell(n);
    for (size_t i = 0; i < n; ++i) {
        cell[i] = quint32(cellOf(at_[i]));
        ++cellStart_[cell[i] + 1];
    }
    for (size_t c = 1; c < cellStart_.size(); ++c)
        cellStart_[c] += cellStart_[c - 1];
    std::vector<quint32> next(cellStart_.begin(), cellStart_.end() - 1);
    std::vector<qint64> ids(n);
    std::vector<QPointF> at(n);
    std::vector<quint8> band(n);
    for (size_t i = 0; i < n; ++i) {
        const quint32 to = next[cell[i]]++;
        ids[to] = ids_[i];
        at[to] = at_[i];
        band[to] = band_[i];
    }
    ids_ = std::move(ids);
    at_ = std::move(at);
    band_ = std::move(band);
}

qint64 TreeMapPoints::nearest(QPointF at, double radius) const
{
    qint64 best = -1;
    double bestDistance = radius * radius;
    visit(QRectF(at.x() - radius, at.y() - radius, 2 * radius, 2 * radius), [&](qint64 i) {
        const QPointF d = at_[size_t(i)] - at;
        const double distance = d.x() * d.x() + d.y() * d.y();
        // Of trees on one spot the riskiest, as drawn on top.
        if (distance < bestDistance || (best >= 0 && distance == bestDistance && band_[size_t(i)] > band_[size_t(best)])) {
            bestDistance = distance;
            best = i;
        }
    });
    return best;
}

qint64 TreeMapPoints::indexOf(qint64 id) const
{
    const auto at = std::find(ids_.begin(), ids_.end(), id);
    return at == ids_.end() ? -1 : qint64(at - ids_.begin());
}

void TreeMapPoints::update(qint64 id, std::optional<QPointF> at, int band)
{
    const qint64 index = indexOf(id);
    if (index < 0 && !at)
        return;
    if (index >= 0 && at && at_[size_t(index)] == *at && band_[size_t(index)] == band)
        return;
    if (index < 0) {
        add(id, *at, band);
        --withoutPosition_;
    } else if (!at) {
        ids_.erase(ids_.begin() + index);
        at_.erase(at_.begin() + index);
        band_.erase(band_.begin() + index);
        ++withoutPosition_;
    } else {
        at_[size_t(index)] = *at;
        band_[size_t(index)] = quint8(std::clamp(band, 0, int(riskBands().size()) - 1));
    }
    withoutPosition_ = std::max<qint64>(withoutPosition_, 0);
    buildIndex();
}

void TreeMapPoints::remove(qint64 id)
{
    const qint64 index = indexOf(id);
    if (index < 0)
        return;
    ids_.erase(ids_.begin() + index);
    at_.erase(at_.begin() + index);
    band_.erase(band_.begin() + index);
    buildIndex();
}

// ---------------------------------------------------------------- reading

TreeMapRead readTreeMapPoints(Database& db, const TreeListSource& source, Progress& progress)
{
    TreeMapRead read;
    progress.beginStage(QStringLiteral("Reading the trees of the list"), 0);
    progress.setCancellable(true);
    fillTreeSearchNames(db, source.search);
    const StatementStop stop(db, [&progress] { return progress.cancelRequested(); });
    const BoundStatement statement =
        treeFieldsStatement(source, QStringLiteral("ID,Latitude,Longitude,Hazard_Rating"));
    QSqlQuery query;
    try {
        query = db.query(statement.sql, statement.values);
        qint64 rows = 0;
        while (query.next()) {
            const std::optional<QPointF> at = treePosition(query.value(1), query.value(2));
            if (at)
                read.points.add(query.value(0).toLongLong(), *at, riskBandOf(query.value(3)));
            else
                read.points.addWithoutPosition();
            if (++rows % 8192 == 0) {
                progress.advance(rows);
                if (progress.cancelRequested()) {
                    read.cancelled = true;
                    return read;
                }
            }
        }
        // A statement the engine stopped ends like one that has no more rows.
        if (query.lastError().isValid())
            throw DbError(query.lastError().databaseText(), statement.sql, query.lastError().nativeErrorCode());
    } catch (const DbError&) {
        if (progress.cancelRequested()) {
            read.cancelled = true;
            return read;
        }
        throw;
    }
    if (progress.cancelRequested()) {
        read.cancelled = true;
        return read;
    }
    progress.setCancellable(false);
    progress.beginStage(QStringLiteral("Placing the trees"), 0);
    read.points.buildIndex();
    return read;
}

std::optional<TreeMapRecord> readTreeMapRecord(Database& db, qint64 id)
{
    QSqlQuery query =
        db.query(QStringLiteral("SELECT Latitude,Longitude,Hazard_Rating FROM _Archived_SurveyData WHERE ID=?"), {id});
    if (!query.next())
        return std::nullopt;
    return TreeMapRecord{treePosition(query.value(0), query.value(1)), riskBandOf(query.value(2))};
}

} // namespace kolva
