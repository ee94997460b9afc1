#include "trees/treemap.h"

#include "platform/failure.h"
#include "platform/progress.h"
#include "platform/prompter.h"
#include "store/database.h"
#include "trees/frmEditTree.h"

#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>

namespace kolva {

namespace {

// A tree is a dot of this radius (pixels) with a darker rim.
constexpr int DotRadius = 3;
// A click finds the tree within this many pixels.
constexpr double ClickRadius = 6;
// A press that moves farther than this is a drag, not a click.
constexpr int DragStart = 4;
// The view shows at most this much more than every tree, and at most
// about two centimetres a pixel (map units are degrees, about 111 km).
constexpr double FarthestOut = 8;
constexpr double NearestIn = 5e6;

const QColor MapColour(0xf4, 0xf1, 0xea);
const QColor AreaFill(0xe4, 0xdf, 0xd2);
const QColor AreaEdge(0xb9, 0xb1, 0x9e);
const QColor LineColour(0x8a, 0x8a, 0x8a);

QString number(qint64 n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
}

// The pixels of a dot around its centre: rim (true) or fill.
struct DotPixel {
    int dx, dy;
    bool rim;
};
const std::vector<DotPixel>& dotPixels()
{
    static const std::vector<DotPixel> pixels = [] {
        std::vector<DotPixel> v;
        for (int dy = -DotRadius; dy <= DotRadius; ++dy)
            for (int dx = -DotRadius; dx <= DotRadius; ++dx) {
                const double r = std::sqrt(double(dx * dx + dy * dy));
                if (r <= DotRadius + 0.3)
                    v.push_back({dx, dy, r > DotRadius - 1.0});
            }
        return v;
    }();
    return pixels;
}

QString treesNotReadMessage(const QString& reason)
{
    return QStringLiteral("The trees of the list could not be read for the map.\n\n%1").arg(reason);
}

} // namespace

// ---------------------------------------------------------------- settings

namespace {
QSettings userSettings()
{
    return QSettings(QSettings::UserScope, QStringLiteral("KOLVA"), QStringLiteral("KOLVA"));
}
const QString LayerKey = QStringLiteral("Map/BackgroundLayer");
} // namespace

QString storedBackgroundLayer()
{
    return userSettings().value(LayerKey).toString();
}

void storeBackgroundLayer(const QString& path)
{
    QSettings settings = userSettings();
    if (path.isEmpty())
        settings.remove(LayerKey);
    else
        settings.setValue(LayerKey, path);
    settings.sync();
}

// ---------------------------------------------------------------- the view

TreeMapView::TreeMapView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("treeMap"));
    setAccessibleName(QStringLiteral("Map of the trees"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setMinimumSize(200, 150);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TreeMapView::setPoints(std::shared_ptr<TreeMapPoints> points)
{
    points_ = std::move(points);
    fitted_ = false;
    update();
}

void TreeMapView::setLayer(std::shared_ptr<const MapLayer> layer)
{
    layer_ = std::move(layer);
    if (!points_ || points_->count() == 0)
        fitted_ = false;
    update();
}

void TreeMapView::setCurrentTree(qint64 id)
{
    if (id == currentId_)
        return;
    currentId_ = id;
    update();
}

void TreeMapView::fitAll()
{
    QRectF extent;
    if (points_ && points_->count() > 0)
        extent = points_->extent();
    else if (layer_)
        extent = layer_->extent;
    if (extent.isEmpty() || width() <= 0 || height() <= 0)
        return;
    fitted_ = true;
    moved_ = false;
    // A margin of a dot and a bit around the trees.
    const double margin = 2.0 * (DotRadius + 4);
    const double scale = std::min((width() - margin) / extent.width(), (height() - margin) / extent.height());
    setView(extent.center(), std::max(scale, 1e-9));
}

void TreeMapView::setView(QPointF centre, double scale)
{
    double fit = 0;
    QRectF extent = points_ && points_->count() > 0 ? points_->extent() : (layer_ ? layer_->extent : QRectF());
    if (!extent.isEmpty())
        fit = std::min(width() / extent.width(), height() / extent.height());
    const double lowest = fit > 0 ? fit / FarthestOut : 1e-9;
    scale_ = std::clamp(scale, std::min(lowest, NearestIn), NearestIn);
    // The centre stays within the trees' extent, so that the trees cannot be
    // panned out of reach.
    if (!extent.isEmpty()) {
        centre.setX(std::clamp(centre.x(), extent.left(), extent.right()));
        centre.setY(std::clamp(centre.y(), extent.top(), extent.bottom()));
    }
    centre_ = centre;
    update();
}

QPointF TreeMapView::toPixel(QPointF at) const
{
    return {(at.x() - centre_.x()) * scale_ + width() / 2.0, height() / 2.0 - (at.y() - centre_.y()) * scale_};
}

QPointF TreeMapView::toMap(QPointF pixel) const
{
    return {centre_.x() + (pixel.x() - width() / 2.0) / scale_, centre_.y() - (pixel.y() - height() / 2.0) / scale_};
}

QRectF TreeMapView::visibleArea() const
{
    const QPointF a = toMap(QPointF(0, height())), b = toMap(QPointF(width(), 0));
    return QRectF(a, b).normalized();
}

void TreeMapView::zoomBy(double factor, QPointF aboutPixel)
{
    // The map position under the pixel stays under it.
    const QPointF anchor = toMap(aboutPixel);
    const double old = scale_;
    setView(centre_, scale_ * factor);
    const double s = scale_;
    if (s == old)
        return;
    moved_ = true;
    setView(QPointF(anchor.x() - (aboutPixel.x() - width() / 2.0) / s, anchor.y() + (aboutPixel.y() - height() / 2.0) / s), s);
}

void TreeMapView::panByPixels(QPointF delta)
{
    moved_ = true;
    setView(QPointF(centre_.x() - delta.x() / scale_, centre_.y() + delta.y() / scale_), scale_);
}

qint64 TreeMapView::treeAt(QPointF pixel) const
{
    if (!points_)
        return -1;
    const qint64 index = points_->nearest(toMap(pixel), ClickRadius / scale_);
    return index < 0 ? -1 : points_->id(index);
}

void TreeMapView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Until the user zooms or pans, the map keeps every tree in sight.
    if (!fitted_ || !moved_)
        fitAll();
}

void TreeMapView::paintEvent(QPaintEvent*)
{
    if (!fitted_)
        fitAll();
    QPainter painter(this);
    painter.fillRect(rect(), MapColour);
    drawLayer(painter);
    drawTrees(painter);
    if (points_ && currentId_ >= 0) {
        const qint64 index = points_->indexOf(currentId_);
        if (index >= 0) {
            const QPointF at = toPixel(points_->at(index));
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(Qt::white, 5));
            painter.drawEllipse(at, DotRadius + 5, DotRadius + 5);
            painter.setPen(QPen(QColor(0x1f, 0x4e, 0xd8), 2.5));
            painter.drawEllipse(at, DotRadius + 5, DotRadius + 5);
        }
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().highlight().color(), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

void TreeMapView::drawLayer(QPainter& painter)
{
    if (!layer_)
        return;
    const QRectF area = visibleArea();
    painter.save();
    for (const MapShape& shape : layer_->shapes) {
        // (Bounds of a straight line have no height or width.)
        const QRectF& b = shape.bounds;
        if (b.right() < area.left() || b.left() > area.right() || b.bottom() < area.top() || b.top() > area.bottom())
            continue;
        // A shape smaller than a pixel is not drawn.
        if (shape.bounds.width() * scale_ < 1 && shape.bounds.height() * scale_ < 1)
            continue;
        QPolygonF pixels;
        pixels.reserve(shape.points.size());
        for (const QPointF& at : shape.points)
            pixels << toPixel(at);
        if (shape.area) {
            painter.setPen(QPen(AreaEdge, 1));
            painter.setBrush(AreaFill);
            painter.drawPolygon(pixels);
        } else {
            painter.setPen(QPen(LineColour, 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawPolyline(pixels);
        }
    }
    painter.restore();
}

void TreeMapView::drawTrees(QPainter& painter)
{
    if (!points_ || points_->count() == 0 || width() <= 0 || height() <= 0)
        return;
    // The trees in sight and a dot's width around it are binned to pixels.
    const int margin = DotRadius + 1;
    const int w = width() + 2 * margin, h = height() + 2 * margin;
    bins_.assign(size_t(w) * size_t(h), 0);
    occupied_.clear();
    const QRectF area = visibleArea().adjusted(-margin / scale_, -margin / scale_, margin / scale_, margin / scale_);
    const double ox = width() / 2.0 - centre_.x() * scale_ + margin;
    const double oy = height() / 2.0 + centre_.y() * scale_ + margin;
    const double s = scale_;
    const TreeMapPoints& points = *points_;
    points.visit(area, [&](qint64 i) {
        const QPointF at = points.at(i);
        const double fx = at.x() * s + ox, fy = oy - at.y() * s;
        if (fx < 0 || fy < 0 || fx >= w || fy >= h)
            return;
        const size_t pixel = size_t(int(fy)) * size_t(w) + size_t(int(fx));
        const quint8 value = quint8(points.band(i) + 1);
        quint8& bin = bins_[pixel];
        if (bin == 0)
            occupied_.push_back(quint32(pixel));
        if (value > bin)
            bin = value;
    });
    if (occupied_.empty())
        return;

    // Each pixel with a tree becomes one dot; the riskier dots are drawn
    // over the others.
    if (trees_.size() != QSize(width(), height()))
        trees_ = QImage(width(), height(), QImage::Format_ARGB32_Premultiplied);
    trees_.fill(Qt::transparent);
    const std::vector<RiskBand>& bands = riskBands();
    const std::vector<DotPixel>& dot = dotPixels();
    const int iw = width(), ih = height();
    const qsizetype stride = trees_.bytesPerLine() / 4;
    auto* image = reinterpret_cast<quint32*>(trees_.bits());
    // The pixels by band (a counting sort), the lowest first.
    std::array<size_t, 8> start{};
    for (const quint32 pixel : occupied_)
        ++start[bins_[pixel]];
    for (size_t b = 1; b < start.size(); ++b)
        start[b] += start[b - 1];
    byBand_.resize(occupied_.size());
    {
        std::array<size_t, 8> next{};
        for (size_t b = 1; b < next.size(); ++b)
            next[b] = start[b - 1];
        for (const quint32 pixel : occupied_)
            byBand_[next[bins_[pixel]]++] = pixel;
    }
    for (size_t band = 0; band < bands.size(); ++band) {
        const QColor fill = QColor::fromRgb(bands[band].colour);
        const quint32 fillPixel = 0xff000000u | bands[band].colour;
        const quint32 rimPixel = fill.darker(160).rgb() | 0xff000000u;
        for (size_t k = start[band]; k < start[band + 1]; ++k) {
            const quint32 pixel = byBand_[k];
            const int cx = int(pixel % quint32(w)) - margin, cy = int(pixel / quint32(w)) - margin;
            const bool inside = cx >= DotRadius && cy >= DotRadius && cx < iw - DotRadius && cy < ih - DotRadius;
            for (const DotPixel& d : dot) {
                const int x = cx + d.dx, y = cy + d.dy;
                if (inside || (x >= 0 && y >= 0 && x < iw && y < ih))
                    image[y * stride + x] = d.rim ? rimPixel : fillPixel;
            }
        }
    }
    painter.drawImage(0, 0, trees_);
}

void TreeMapView::wheelEvent(QWheelEvent* event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0) {
        event->ignore();
        return;
    }
    zoomBy(std::pow(1.25, steps), event->position());
    event->accept();
}

void TreeMapView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    pressed_ = true;
    dragging_ = false;
    pressedAt_ = event->position().toPoint();
    dragCentre_ = centre_;
}

void TreeMapView::mouseMoveEvent(QMouseEvent* event)
{
    if (!pressed_)
        return;
    const QPoint moved = event->position().toPoint() - pressedAt_;
    if (!dragging_ && moved.manhattanLength() > DragStart) {
        dragging_ = true;
        setCursor(Qt::ClosedHandCursor);
    }
    if (dragging_) {
        moved_ = true;
        setView(QPointF(dragCentre_.x() - moved.x() / scale_, dragCentre_.y() + moved.y() / scale_), scale_);
    }
}

void TreeMapView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressed_)
        return;
    pressed_ = false;
    if (dragging_) {
        dragging_ = false;
        unsetCursor();
        return;
    }
    const qint64 id = treeAt(event->position());
    if (id >= 0)
        emit treeClicked(id);
}

void TreeMapView::keyPressEvent(QKeyEvent* event)
{
    const QPointF middle(width() / 2.0, height() / 2.0);
    const double stepX = width() / 8.0, stepY = height() / 8.0;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomBy(1.5, middle);
        break;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        zoomBy(1 / 1.5, middle);
        break;
    case Qt::Key_Left:
        panByPixels(QPointF(stepX, 0));
        break;
    case Qt::Key_Right:
        panByPixels(QPointF(-stepX, 0));
        break;
    case Qt::Key_Up:
        panByPixels(QPointF(0, stepY));
        break;
    case Qt::Key_Down:
        panByPixels(QPointF(0, -stepY));
        break;
    case Qt::Key_Home:
        fitAll();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

// ---------------------------------------------------------------- the page

TreeMapPage::TreeMapPage(AppContext context, frmEditTree& editor, QWidget* parent)
    : QWidget(parent), context_(context), editor_(editor)
{
    setObjectName(QStringLiteral("pageMap"));
    view_ = new TreeMapView(this);

    lblMapStatus_ = new QLabel(this);
    lblMapStatus_->setObjectName(QStringLiteral("lblMapStatus"));
    lblLayerStatus_ = new QLabel(this);
    lblLayerStatus_->setObjectName(QStringLiteral("lblLayerStatus"));
    lblLayerStatus_->setWordWrap(true);
    cmdBackgroundLayer_ = new QPushButton(QStringLiteral("Background &layer..."), this);
    cmdBackgroundLayer_->setObjectName(QStringLiteral("cmdBackgroundLayer"));
    cmdBackgroundLayer_->setToolTip(QStringLiteral("Draw the lines or areas of a GIS file (street centre lines, "
                                                   "parcels) under the trees"));
    cmdRemoveLayer_ = new QPushButton(QStringLiteral("Re&move layer"), this);
    cmdRemoveLayer_->setObjectName(QStringLiteral("cmdRemoveLayer"));
    cmdRemoveLayer_->setEnabled(false);
    connect(cmdBackgroundLayer_, &QPushButton::clicked, this, &TreeMapPage::chooseLayer);
    connect(cmdRemoveLayer_, &QPushButton::clicked, this, &TreeMapPage::removeLayer);

    // The legend, in the map's upper left corner.
    auto* legendFrame = new QFrame(view_);
    legendFrame->setFrameShape(QFrame::StyledPanel);
    legend_ = legendFrame;
    legend_->setObjectName(QStringLiteral("frameMapLegend"));
    legend_->setAutoFillBackground(true);
    auto* legendGrid = new QGridLayout(legend_);
    legendGrid->setContentsMargins(6, 4, 6, 4);
    legendGrid->setVerticalSpacing(2);
    auto* title = new QLabel(QStringLiteral("Risk rating"), legend_);
    title->setObjectName(QStringLiteral("lblLegendTitle"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    legendGrid->addWidget(title, 0, 0, 1, 2);
    const std::vector<RiskBand>& bands = riskBands();
    // The riskiest band on top.
    for (int i = int(bands.size()) - 1, row = 1; i >= 0; --i, ++row) {
        auto* swatch = new QLabel(legend_);
        swatch->setObjectName(QStringLiteral("lblLegendColour(%1)").arg(i));
        swatch->setFixedSize(12, 12);
        swatch->setAutoFillBackground(true);
        QPalette p = swatch->palette();
        p.setColor(QPalette::Window, QColor::fromRgb(bands[size_t(i)].colour));
        swatch->setPalette(p);
        auto* text = new QLabel(bands[size_t(i)].label, legend_);
        text->setObjectName(QStringLiteral("lblLegend(%1)").arg(i));
        legendGrid->addWidget(swatch, row, 0);
        legendGrid->addWidget(text, row, 1);
    }
    legend_->move(8, 8);
    legend_->adjustSize();
    legend_->hide();

    lblNoCoordinates_ = new QLabel(view_);
    lblNoCoordinates_->setObjectName(QStringLiteral("lblNoCoordinates"));
    lblNoCoordinates_->setAlignment(Qt::AlignCenter);
    lblNoCoordinates_->setWordWrap(true);
    lblNoCoordinates_->hide();
    auto* viewLayout = new QVBoxLayout(view_);
    viewLayout->addWidget(lblNoCoordinates_, 0, Qt::AlignCenter);

    auto* top = new QHBoxLayout;
    top->addWidget(lblMapStatus_, 1);
    top->addWidget(cmdBackgroundLayer_);
    top->addWidget(cmdRemoveLayer_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(view_, 1);
    layout->addWidget(lblLayerStatus_);
    lblLayerStatus_->hide();
    setTabOrder(view_, cmdBackgroundLayer_);
    setTabOrder(cmdBackgroundLayer_, cmdRemoveLayer_);

    connect(view_, &TreeMapView::treeClicked, this, [this](qint64 id) { editor_.showTreeRecord(id); });
    connect(&editor_, &frmEditTree::treeListRefreshed, this, &TreeMapPage::listChanged);
    connect(&editor_, &frmEditTree::currentRecordChanged, this, &TreeMapPage::currentChanged);
    view_->setCurrentTree(editor_.currentRecordId());
}

TreeMapPage::~TreeMapPage()
{
    // A reading still running stops; what it read is dropped.
    if (treeJob_)
        treeJob_->requestCancel();
    if (layerJob_)
        layerJob_->requestCancel();
}

bool TreeMapPage::isReading() const
{
    return (treeJob_ && treeJob_->isRunning()) || (layerJob_ && layerJob_->isRunning());
}

void TreeMapPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!layerTried_) {
        layerTried_ = true;
        const QString stored = storedBackgroundLayer();
        if (!stored.isEmpty())
            readLayer(stored, false);
    }
    if (stale_)
        readTrees();
    else
        refreshRecord(editor_.currentRecordId());
}

void TreeMapPage::listChanged()
{
    stale_ = true;
    if (treeJob_ && treeJob_->isRunning())
        treeJob_->requestCancel(); // read again when it ends
    else if (isVisible())
        readTrees();
}

void TreeMapPage::currentChanged(qint64 id)
{
    // The record left may have been saved with another place or rating.
    if (shownId_ >= 0 && shownId_ != id)
        refreshRecord(shownId_);
    shownId_ = id;
    view_->setCurrentTree(id);
}

void TreeMapPage::refreshRecord(qint64 id)
{
    TreeMapPoints* points = points_.get();
    if (id < 0 || !points || (treeJob_ && treeJob_->isRunning()))
        return;
    try {
        const std::optional<TreeMapRecord> record = readTreeMapRecord(context_.db, id);
        const qint64 before = points->count();
        if (record)
            points->update(id, record->at, record->band);
        else
            points->remove(id);
        if (points->count() != before)
            showStatus();
        view_->update();
    } catch (const DbError& error) {
        lblLayerStatus_->setText(QStringLiteral("The map may not show the last change of a record: %1").arg(error.message()));
        lblLayerStatus_->show();
    }
}

void TreeMapPage::readTrees()
{
    if (treeJob_ && treeJob_->isRunning())
        return;
    stale_ = false;
    readError_.clear();
    lblMapStatus_->setText(QStringLiteral("Reading the trees of the list..."));
    const TreeListSource source = editor_.treeList()->source();
    const QString databasePath = context_.db.path();
    auto read = std::make_shared<TreeMapRead>();
    QPointer<TreeMapPage> self(this);
    treeJob_ = BackgroundJob::start(
        this, QStringLiteral("Map"),
        [source, databasePath, read](Progress& progress) {
            const std::unique_ptr<Database> db = Database::open(databasePath);
            *read = readTreeMapPoints(*db, source, progress);
        },
        [self, read](std::exception_ptr error) {
            if (self)
                self->treesRead(read, error);
        });
}

void TreeMapPage::treesRead(const std::shared_ptr<TreeMapRead>& read, std::exception_ptr error)
{
    if (stale_) {
        // The list changed while it was read: read the new one.
        if (isVisible())
            QMetaObject::invokeMethod(this, &TreeMapPage::readTrees, Qt::QueuedConnection);
        return;
    }
    if (error) {
        // Said in the map itself; read again the next time the map is shown.
        stale_ = true;
        readError_ = treesNotReadMessage(failureWords(error).text);
        points_.reset();
    } else if (read->cancelled) {
        // Read again the next time the map is shown.
        stale_ = true;
        readError_ = QStringLiteral("Reading the trees was stopped; the map shows them when the tab is shown again.");
        points_.reset();
    } else {
        points_ = std::make_shared<TreeMapPoints>(std::move(read->points));
    }
    view_->setPoints(points_);
    shownId_ = editor_.currentRecordId();
    view_->setCurrentTree(shownId_);
    showStatus();
}

void TreeMapPage::showStatus()
{
    const TreeMapPoints* points = view_->points();
    QString centre;
    if (!readError_.isEmpty()) {
        centre = readError_;
        lblMapStatus_->setText(QStringLiteral("The map shows no trees."));
    } else if (!points) {
        lblMapStatus_->clear();
    } else {
        const qint64 shown = points->count(), without = points->withoutPosition();
        if (shown + without == 0)
            centre = QStringLiteral("The list holds no trees.");
        else if (shown == 0)
            centre = without == 1 ? QStringLiteral("The tree of this list has no coordinates.")
                                  : QStringLiteral("None of the %1 trees of this list has coordinates.").arg(number(without));
        QString status = shown == 1 ? QStringLiteral("1 tree on the map")
                                    : QStringLiteral("%1 trees on the map").arg(number(shown));
        if (without > 0)
            status += without == 1 ? QStringLiteral("; 1 tree of the list has no coordinates")
                                   : QStringLiteral("; %1 trees of the list have no coordinates").arg(number(without));
        lblMapStatus_->setText(status + QLatin1Char('.'));
    }
    lblMapStatus_->setAccessibleName(lblMapStatus_->text());
    lblNoCoordinates_->setText(centre);
    lblNoCoordinates_->setVisible(!centre.isEmpty());
    legend_->setVisible(points && points->count() > 0);
    legend_->raise();
}

void TreeMapPage::chooseLayer()
{
    if (layerJob_ && layerJob_->isRunning())
        return;
    FileDialogRequest request;
    request.title = QStringLiteral("Choose a Background Layer");
    request.filter = QStringLiteral("GIS Files(*.shp *.geojson *.json *.gpkg *.kml *.gml *.tab *.mif *.sqlite *.fgb);;"
                                    "All Files(*)");
    const QString stored = storedBackgroundLayer();
    request.folder = stored.isEmpty() ? context_.programDir : QFileInfo(stored).absolutePath();
    const QString path = context_.prompter.openFileName(this, request).trimmed();
    if (path.isEmpty())
        return;
    readLayer(path, true);
}

void TreeMapPage::removeLayer()
{
    if (layerJob_ && layerJob_->isRunning())
        return;
    view_->setLayer(nullptr);
    storeBackgroundLayer(QString());
    lblLayerStatus_->clear();
    lblLayerStatus_->hide();
    cmdRemoveLayer_->setEnabled(false);
}

void TreeMapPage::readLayer(const QString& path, bool chosen)
{
    cmdBackgroundLayer_->setEnabled(false);
    cmdRemoveLayer_->setEnabled(false);
    auto layer = std::make_shared<MapLayer>();
    QPointer<TreeMapPage> self(this);
    layerJob_ = BackgroundJob::start(
        this, QStringLiteral("Background Layer"),
        [path, layer](Progress& progress) { *layer = readMapLayer(path, progress); },
        [self, path, chosen, layer](std::exception_ptr error) {
            if (!self)
                return;
            TreeMapPage& page = *self;
            page.cmdBackgroundLayer_->setEnabled(true);
            if (!error && !layer->cancelled) {
                page.view_->setLayer(layer);
                if (chosen)
                    storeBackgroundLayer(path);
                QString text = QStringLiteral("Background layer: %1").arg(QFileInfo(path).fileName());
                if (layer->skipped > 0)
                    text += QStringLiteral(" (%1 features without lines or areas are not drawn)").arg(number(layer->skipped));
                page.lblLayerStatus_->setText(text);
                page.lblLayerStatus_->show();
            }
            page.cmdRemoveLayer_->setEnabled(page.view_->layer() != nullptr || !storedBackgroundLayer().isEmpty());
            if (!error)
                return;
            // A file that is no layer says why in its own words.
            FailureReport report;
            report.caption = QStringLiteral("Background Layer");
            report.fileText = QStringLiteral("%1");
            report.text = QStringLiteral("%3 cannot be read: %1");
            report.subject = path;
            if (chosen) {
                // The layer shown before stays.
                reportFailure(page.context_.prompter, &page, report, error);
            } else {
                page.lblLayerStatus_->setText(QStringLiteral("The background layer cannot be drawn. ")
                                              + failureMessage(report, failureWords(error)));
                page.lblLayerStatus_->show();
            }
        });
}

} // namespace kolva
