#pragma once
// The trees of the Tree editor's list on a map, without any widget: their
// positions, projected to Web Mercator around the data, and the band of
// their risk rating; a grid over them that finds the trees of a part of the
// map without looking at the others; and the bands of the legend.
//
// Map units are Web Mercator in degrees: x is the longitude, y grows to the
// north as the Mercator ordinate, so that a degree of y is a degree of x on
// the screen at every latitude.

#include "trees/treelist.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

namespace kolva {

class Database;
class Progress;

// A band of risk ratings: its legend text and its colour (0xRRGGBB).
struct RiskBand {
    QString label;
    quint32 colour;
};
// The bands from the lowest ratings ("0 or none") to the highest.
const std::vector<RiskBand>& riskBands();
// The band of a stored rating (null, zero or less: band 0).
int riskBandOf(const QVariant& rating);

// The map position of a longitude and latitude in degrees (latitudes beyond
// the Mercator limit of 85.05 degrees are put on it).
QPointF projectLonLat(double longitude, double latitude);
// The longitude (x) and latitude (y) of a map position.
QPointF unprojectMapPoint(QPointF at);

// The stored coordinates of a record as a map position, or nothing when the
// record has none that can be placed: a missing or non-numeric value, one
// outside -90 to 90 / -180 to 180, or 0 and 0 together (what a handheld
// without a fix leaves).
std::optional<QPointF> treePosition(const QVariant& latitude, const QVariant& longitude);

// The trees of a list that have a position.
class TreeMapPoints {
public:
    qint64 count() const { return qint64(ids_.size()); }
    qint64 id(qint64 index) const { return ids_[size_t(index)]; }
    QPointF at(qint64 index) const { return at_[size_t(index)]; }
    int band(qint64 index) const { return band_[size_t(index)]; }
    // The records of the list without a position.
    qint64 withoutPosition() const { return withoutPosition_; }
    // The smallest rectangle around every position (never of zero size).
    QRectF extent() const { return extent_; }

    void add(qint64 id, QPointF at, int band);
    void addWithoutPosition() { ++withoutPosition_; }
    // Builds the grid, which puts the trees in another order (indexes
    // change); call after the last add.
    void buildIndex();

    // Calls visit(index) for each tree in area (and a few next to it). The
    // index must have been built.
    template <class Visit>
    void visit(const QRectF& area, Visit visit) const;
    // The tree nearest to at within radius (map units), or -1.
    qint64 nearest(QPointF at, double radius) const;
    // The index of the record with that ID, or -1.
    qint64 indexOf(qint64 id) const;
    // Puts a record at another place, in another band, or off the map
    // (nothing); a record not on the map yet is added. The grid is rebuilt.
    void update(qint64 id, std::optional<QPointF> at, int band);
    // Takes a record that is no longer in the database off the map.
    void remove(qint64 id);

private:
    std::vector<qint64> ids_;
    std::vector<QPointF> at_;
    std::vector<quint8> band_;
    qint64 withoutPosition_ = 0;
    QRectF extent_;
    int columns_ = 0, rows_ = 0;
    double cellWidth_ = 1, cellHeight_ = 1;
    std::vector<quint32> cellStart_; // per cell, the index of its first tree; one more at the end
};

template <class Visit>
void TreeMapPoints::visit(const QRectF& area, Visit visit) const
{
    if (columns_ == 0 || !area.intersects(extent_.adjusted(-cellWidth_, -cellHeight_, cellWidth_, cellHeight_)))
        return;
    const auto cellOf = [](double v, double origin, double size, int cells) {
        return std::clamp(int((v - origin) / size), 0, cells - 1);
    };
    const int c0 = cellOf(area.left(), extent_.left(), cellWidth_, columns_);
    const int c1 = cellOf(area.right(), extent_.left(), cellWidth_, columns_);
    const int r0 = cellOf(area.top(), extent_.top(), cellHeight_, rows_);
    const int r1 = cellOf(area.bottom(), extent_.top(), cellHeight_, rows_);
    for (int r = r0; r <= r1; ++r) {
        const size_t first = size_t(r) * size_t(columns_);
        for (quint32 k = cellStart_[first + size_t(c0)], end = cellStart_[first + size_t(c1) + 1]; k < end; ++k)
            visit(qint64(k));
    }
}

// What reading the trees of a list gave.
struct TreeMapRead {
    TreeMapPoints points;
    bool cancelled = false;
};

// Reads the position and rating of every record of source, on a connection
// of the caller's thread (throws DbError). Cancel is offered and honoured
// while the rows are read.
TreeMapRead readTreeMapPoints(Database& db, const TreeListSource& source, Progress& progress);

// One record as the map shows it: its position, if any, and band; nothing
// when the record is no longer in the database (throws DbError).
struct TreeMapRecord {
    std::optional<QPointF> at;
    int band = 0;
};
std::optional<TreeMapRecord> readTreeMapRecord(Database& db, qint64 id);

} // namespace kolva
