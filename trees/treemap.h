#pragma once
// The "Map" tab of the Tree editor: the trees of the editor's list at their
// coordinates, coloured by risk rating with a legend, over the office's
// background layer. The wheel, + and - zoom, a drag or the arrow keys pan,
// Home shows every tree; a click on a tree makes it the editor's current
// record, which the map rings.
//
// Trees are drawn from the grid of TreeMapPoints: the trees in sight are
// binned to the pixels of the current zoom, and each pixel with a tree is
// drawn once, in the colour of its riskiest tree, so that a frame costs the
// same whether a pixel holds one tree or a thousand.

#include "store/context.h"
#include "trees/maplayer.h"
#include "trees/treemapdata.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;

namespace kolva {

class BackgroundJob;
class frmEditTree;

// The file of the background layer the office chose, kept in the user's
// settings ("" for none).
QString storedBackgroundLayer();
void storeBackgroundLayer(const QString& path);

class TreeMapView : public QWidget {
    Q_OBJECT
public:
    explicit TreeMapView(QWidget* parent = nullptr);

    void setPoints(std::shared_ptr<TreeMapPoints> points);
    const TreeMapPoints* points() const { return points_.get(); }
    void setLayer(std::shared_ptr<const MapLayer> layer);
    const MapLayer* layer() const { return layer_.get(); }
    // The record ringed on the map (-1 for none).
    void setCurrentTree(qint64 id);
    qint64 currentTree() const { return currentId_; }

    // Shows every tree (and the layer, when there are none).
    void fitAll();
    // Where a map position is drawn, and the map position of a pixel.
    QPointF toPixel(QPointF at) const;
    QPointF toMap(QPointF pixel) const;
    // Pixels per map unit.
    double scale() const { return scale_; }
    QPointF centre() const { return centre_; }
    void zoomBy(double factor, QPointF aboutPixel);
    void panByPixels(QPointF delta);

    // The tree drawn at the pixel (within a few pixels), or -1.
    qint64 treeAt(QPointF pixel) const;

signals:
    // The user clicked a tree.
    void treeClicked(qint64 id);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRectF visibleArea() const;
    void drawLayer(QPainter& painter);
    void drawTrees(QPainter& painter);
    void setView(QPointF centre, double scale);

    std::shared_ptr<TreeMapPoints> points_;
    std::shared_ptr<const MapLayer> layer_;
    qint64 currentId_ = -1;
    QPointF centre_;
    double scale_ = 1;
    bool fitted_ = false;
    bool moved_ = false; // the user zoomed or panned since the map was fitted
    QPoint pressedAt_;
    QPointF dragCentre_;
    bool pressed_ = false;
    bool dragging_ = false;
    QImage trees_;                  // the frame's trees, reused
    std::vector<quint8> bins_;      // per pixel: 0, or 1 + the band of its riskiest tree
    std::vector<quint32> occupied_; // the pixels with a tree
    std::vector<quint32> byBand_;   // ... the lowest band first
};

class TreeMapPage : public QWidget {
    Q_OBJECT
public:
    TreeMapPage(AppContext context, frmEditTree& editor, QWidget* parent = nullptr);
    ~TreeMapPage() override;

    TreeMapView* view() const { return view_; }
    // True while the trees or the layer are being read.
    bool isReading() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void listChanged();
    void currentChanged(qint64 id);
    void readTrees();
    void treesRead(const std::shared_ptr<TreeMapRead>& read, std::exception_ptr error);
    void showStatus();
    void chooseLayer();
    void removeLayer();
    void readLayer(const QString& path, bool chosen);
    void refreshRecord(qint64 id);

    AppContext context_;
    frmEditTree& editor_;
    TreeMapView* view_ = nullptr;
    QLabel* lblMapStatus_ = nullptr;
    QLabel* lblNoCoordinates_ = nullptr;
    QLabel* lblLayerStatus_ = nullptr;
    QPushButton* cmdBackgroundLayer_ = nullptr;
    QPushButton* cmdRemoveLayer_ = nullptr;
    QWidget* legend_ = nullptr;
    bool stale_ = true;         // the list changed since the trees were read
    bool layerTried_ = false;   // the stored layer was read (or tried)
    QString readError_;
    std::shared_ptr<TreeMapPoints> points_; // the trees shown, when read
    QPointer<BackgroundJob> treeJob_;
    QPointer<BackgroundJob> layerJob_;
    qint64 shownId_ = -1; // the record ringed, whose map entry is read again when left
};

} // namespace kolva
