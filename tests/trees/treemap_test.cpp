// The Tree editor's map: which records it places and how, the grid that
// finds them, and the "Map" tab driven as a user drives it.
#include "platform/progress.h"
#include "tests/support/testcontext.h"
#include "tests/support/widgets.h"
#include "tests/trees/treetestdata.h"
#include "trees/frmEditTree.h"
#include "trees/maplayer.h"
#include "trees/treemap.h"
#include "trees/treemapdata.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace kolva;
using namespace kolva::test;

namespace {

// The user's settings go to a folder of the test run, never the tester's.
class SettingsInTempDir : public ::testing::Environment {
public:
    void SetUp() override
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
    }

private:
    QTemporaryDir dir_;
};
[[maybe_unused]] const auto* settingsEnvironment = ::testing::AddGlobalTestEnvironment(new SettingsInTempDir);

TEST(TreeMapData, PlacesOnlyCoordinatesThatExist)
{
    struct Case {
        QVariant lat, lon;
        bool placed;
    };
    const Case cases[] = {
        {40.7, -74.0, true},      {QVariant(), -74.0, false}, {40.7, QVariant(), false},
        {"40.7", "-74.0", true},  {"N40", "-74.0", false},    {"", "", false},
        {90.0, 180.0, true},      {90.0001, 10.0, false},     {-90.0, -180.0, true},
        {10.0, -180.0001, false}, {0.0, 0.0, false},          {0.0, 5.0, true},
    };
    for (const Case& c : cases) {
        const std::optional<QPointF> at = treePosition(c.lat, c.lon);
        EXPECT_EQ(at.has_value(), c.placed) << c.lat.toString().toStdString() << " " << c.lon.toString().toStdString();
        if (at && std::abs(c.lat.toDouble()) < 85) {
            // The projection goes back to the same place.
            const QPointF back = unprojectMapPoint(*at);
            EXPECT_NEAR(back.x(), c.lon.toDouble(), 1e-9);
            EXPECT_NEAR(back.y(), c.lat.toDouble(), 1e-9);
        }
    }
}

TEST(TreeMapData, RatingBandsMeetAtTheirBounds)
{
    const std::pair<QVariant, int> cases[] = {{QVariant(), 0}, {-3, 0}, {0, 0},  {1, 1},  {7, 1},  {8, 2},
                                              {14, 2},          {15, 3}, {21, 3}, {22, 4}, {28, 4}, {"x", 0}};
    for (const auto& [rating, band] : cases)
        EXPECT_EQ(riskBandOf(rating), band) << rating.toString().toStdString();
    ASSERT_EQ(riskBands().size(), 5u);
    EXPECT_EQ(riskBands()[1].label, "1 to 7");
    EXPECT_EQ(riskBands()[4].label, "22 and above");
}

TEST(TreeMapData, TheGridFindsExactlyTheTreesOfAnArea)
{
    TreeMapPoints points;
    QRandomGenerator random(7);
    for (int i = 0; i < 20000; ++i)
        points.add(i, projectLonLat(-74 + random.generateDouble() * 0.2, 40.6 + random.generateDouble() * 0.2), i % 5);
    points.buildIndex();
    const QRectF areas[] = {QRectF(-73.95, 40.7, 0.01, 0.02), QRectF(-80, 30, 20, 20), QRectF(-73.9, 10, 1, 1),
                            QRectF(-74.0, 49.6, 0.0, 0.0)};
    for (const QRectF& area : areas) {
        const QRectF mapArea = QRectF(projectLonLat(area.left(), area.top()), projectLonLat(area.right(), area.bottom()));
        std::set<qint64> expected, found;
        for (qint64 i = 0; i < points.count(); ++i)
            if (mapArea.contains(points.at(i)))
                expected.insert(i);
        points.visit(mapArea, [&](qint64 i) {
            if (mapArea.contains(points.at(i)))
                found.insert(i);
        });
        EXPECT_EQ(found, expected);
    }
    // The nearest tree to an inner tree's place is that tree.
    const qint64 inner = 12345;
    EXPECT_EQ(points.nearest(points.at(inner), 1e-7), inner);
    EXPECT_EQ(points.nearest(points.at(inner) + QPointF(1, 1), 0.01), -1);
}

TEST(TreeMapData, ReadsTheRecordsOfTheListOnly)
{
    TestContext t;
    addTree(*t.db, {{"Tree_ID", 1}, {"StreetName", "ELM ST"}, {"Latitude", 40.70}, {"Longitude", -74.00}});
    addTree(*t.db, {{"Tree_ID", 2}, {"StreetName", "ELM ST"}});
    addTree(*t.db, {{"Tree_ID", 3}, {"StreetName", "OAK AVE"}, {"Latitude", 40.71}, {"Longitude", -74.01},
                    {"Species", "Pin Oak"}});
    NullProgress progress;
    TreeListSource everything;
    TreeMapRead read = readTreeMapPoints(*t.db, everything, progress);
    EXPECT_EQ(read.points.count(), 2);
    EXPECT_EQ(read.points.withoutPosition(), 1);
    TreeListSource elm;
    elm.street = "ELM ST";
    read = readTreeMapPoints(*t.db, elm, progress);
    EXPECT_EQ(read.points.count(), 1);
    EXPECT_EQ(read.points.withoutPosition(), 1);
    TreeListSource oak;
    oak.search = parseTreeSearch("pin", {"ELM ST", "OAK AVE"}, {"Pin Oak", "Red Maple"});
    read = readTreeMapPoints(*t.db, oak, progress);
    ASSERT_EQ(read.points.count(), 1);
    EXPECT_EQ(read.points.withoutPosition(), 0);
    EXPECT_EQ(stored(*t.db, read.points.id(0), "Tree_ID").toInt(), 3);
}

class TreeMapTest : public ::testing::Test {
protected:
    ~TreeMapTest() override
    {
        window.reset();
        settle();
        storeBackgroundLayer(QString());
    }
    // Opens the editor on its Map tab and waits for the trees.
    TreeMapView* openMap()
    {
        window = std::make_unique<frmEditTree>(t.context());
        window->resize(window->width(), 700);
        window->show();
        settle();
        auto* tabs = child<QTabWidget>(window.get(), "SSTab1");
        EXPECT_EQ(tabs->tabText(2), "Map");
        tabs->setCurrentIndex(2);
        waitForMap();
        return child<TreeMapView>(window.get(), "treeMap");
    }
    void waitForMap()
    {
        auto* page = child<TreeMapPage>(window.get(), "pageMap");
        QTRY_VERIFY_WITH_TIMEOUT(!page->isReading() && !status().startsWith("Reading"), 20000);
        settle();
    }
    QString status() { return child<QLabel>(window.get(), "lblMapStatus")->text(); }
    QTabWidget* tabs() { return child<QTabWidget>(window.get(), "SSTab1"); }
    // The pixel a longitude and latitude is drawn at.
    QPoint pixelOf(TreeMapView* view, double lon, double lat) { return view->toPixel(projectLonLat(lon, lat)).toPoint(); }

    TestContext t;
    std::unique_ptr<frmEditTree> window;
};

TEST_F(TreeMapTest, AClickOnATreeMakesItTheCurrentRecordAndRingsIt)
{
    addTree(*t.db, {{"Tree_ID", 1}, {"Latitude", 40.700}, {"Longitude", -74.000}});
    const qint64 second = addTree(*t.db, {{"Tree_ID", 2}, {"Latitude", 40.702}, {"Longitude", -74.003}});
    const qint64 third = addTree(*t.db, {{"Tree_ID", 3}, {"Latitude", 40.705}, {"Longitude", -74.001}});
    TreeMapView* view = openMap();
    EXPECT_EQ(status(), "3 trees on the map.");
    EXPECT_EQ(view->currentTree(), window->currentRecordId());

    QTest::mouseClick(view, Qt::LeftButton, {}, pixelOf(view, -74.003, 40.702) + QPoint(2, -1));
    EXPECT_EQ(window->currentRecordId(), second);
    EXPECT_EQ(window->currentRow(), 1);
    EXPECT_EQ(view->currentTree(), second);
    EXPECT_EQ(tabs()->currentIndex(), 2) << "the map stays in sight";

    // A click beside every tree changes nothing.
    QTest::mouseClick(view, Qt::LeftButton, {}, pixelOf(view, -74.003, 40.702) + QPoint(40, 40));
    EXPECT_EQ(window->currentRecordId(), second);

    // The grid's choice is ringed on the map too.
    tabs()->setCurrentIndex(0);
    window->showTreeRecord(third);
    EXPECT_EQ(view->currentTree(), third);
}

TEST_F(TreeMapTest, KeysAndTheWheelZoomAndPanAndHomeShowsEveryTree)
{
    addTree(*t.db, {{"Tree_ID", 1}, {"Latitude", 40.70}, {"Longitude", -74.00}});
    addTree(*t.db, {{"Tree_ID", 2}, {"Latitude", 40.72}, {"Longitude", -73.97}});
    TreeMapView* view = openMap();
    view->setFocus();
    const double fit = view->scale();
    const QPointF centre = view->centre();

    QTest::keyClick(view, Qt::Key_Plus);
    EXPECT_NEAR(view->scale(), fit * 1.5, fit * 1e-9);
    QTest::keyClick(view, Qt::Key_Minus);
    QTest::keyClick(view, Qt::Key_Minus);
    EXPECT_NEAR(view->scale(), fit / 1.5, fit * 1e-9);
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_DOUBLE_EQ(view->scale(), fit);

    const std::pair<Qt::Key, QPointF> pans[] = {
        {Qt::Key_Right, {1, 0}}, {Qt::Key_Left, {-1, 0}}, {Qt::Key_Up, {0, 1}}, {Qt::Key_Down, {0, -1}}};
    for (const auto& [key, direction] : pans) {
        QTest::keyClick(view, Qt::Key_Home);
        QTest::keyClick(view, key);
        const QPointF moved = view->centre() - centre;
        EXPECT_GT(moved.x() * direction.x() + moved.y() * direction.y(), 0) << key;
        EXPECT_NEAR(moved.x() * direction.y() + moved.y() * direction.x(), 0, 1e-12) << key;
    }

    // The wheel zooms about the pointer: the place under it stays.
    QTest::keyClick(view, Qt::Key_Home);
    const QPoint at = pixelOf(view, -73.97, 40.72);
    const QPointF under = view->toMap(at);
    QWheelEvent wheel(at, view->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view, &wheel);
    EXPECT_NEAR(view->scale(), fit * 1.25, fit * 1e-9);
    EXPECT_NEAR(view->toMap(at).x(), under.x(), 1e-9);
    EXPECT_NEAR(view->toMap(at).y(), under.y(), 1e-9);

    // A drag moves the map with the pointer and chooses no tree.
    const qint64 current = window->currentRecordId();
    const QPoint from = view->rect().center();
    const QPointF before = view->toMap(from);
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(50, 20)), view->mapToGlobal(QPointF(from + QPoint(50, 20))),
                     Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, {}, from + QPoint(50, 20));
    EXPECT_NEAR(view->toMap(from + QPoint(50, 20)).x(), before.x(), 1e-9);
    EXPECT_NEAR(view->toMap(from + QPoint(50, 20)).y(), before.y(), 1e-9);
    EXPECT_EQ(window->currentRecordId(), current);
}

TEST_F(TreeMapTest, AListWithoutCoordinatesIsSaidSo)
{
    addTree(*t.db, {{"Tree_ID", 1}, {"StreetName", "ELM ST"}});
    addTree(*t.db, {{"Tree_ID", 2}, {"StreetName", "ELM ST"}, {"Latitude", 0.0}, {"Longitude", 0.0}});
    addTree(*t.db, {{"Tree_ID", 3}, {"StreetName", "OAK AVE"}, {"Latitude", 40.7}, {"Longitude", -74.0}});
    openMap();
    auto* note = child<QLabel>(window.get(), "lblNoCoordinates");
    EXPECT_FALSE(note->isVisible());
    EXPECT_EQ(status(), "1 tree on the map; 2 trees of the list have no coordinates.");
    EXPECT_TRUE(child<QWidget>(window.get(), "frameMapLegend")->isVisible());

    // The map follows the list: filtered to ELM ST, no tree has a place.
    auto* filter = child<QComboBox>(window.get(), "cboStreetFilter");
    filter->setCurrentIndex(filter->findText("ELM ST"));
    waitForMap();
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), "None of the 2 trees of this list has coordinates.");
    EXPECT_FALSE(child<QWidget>(window.get(), "frameMapLegend")->isVisible());

    // Back to every street: the tree is placed again.
    filter->setCurrentIndex(0);
    waitForMap();
    EXPECT_FALSE(note->isVisible());
    EXPECT_EQ(status(), "1 tree on the map; 2 trees of the list have no coordinates.");
}

TEST_F(TreeMapTest, EachTreeHasTheColourTheLegendGivesItsRating)
{
    const std::pair<int, QString> ratings[] = {
        {0, "0 or none"}, {5, "1 to 7"}, {8, "8 to 14"}, {21, "15 to 21"}, {22, "22 and above"}};
    double lon = -74.0;
    for (const auto& [rating, label] : ratings) {
        addTree(*t.db, {{"Tree_ID", rating}, {"Hazard_Rating", rating}, {"Latitude", 40.7}, {"Longitude", lon}});
        lon += 0.01;
    }
    TreeMapView* view = openMap();
    const QImage shot = view->grab().toImage();
    lon = -74.0;
    for (const auto& [rating, label] : ratings) {
        // The legend's row with the label, and its colour.
        QColor legendColour;
        for (QLabel* text : window->findChildren<QLabel*>()) {
            if (text->objectName().startsWith("lblLegend(") && text->text() == label) {
                const QString index = text->objectName().mid(10).chopped(1);
                legendColour = child<QLabel>(window.get(), "lblLegendColour(" + index + ")")->palette().color(QPalette::Window);
            }
        }
        ASSERT_TRUE(legendColour.isValid()) << label.toStdString();
        const QPoint at = pixelOf(view, lon, 40.7);
        EXPECT_EQ(shot.pixelColor(at * shot.devicePixelRatio()).rgb(), legendColour.rgb())
            << "rating " << rating << " at " << at.x() << "," << at.y();
        lon += 0.01;
    }
}

TEST_F(TreeMapTest, ASavedPlaceOrRatingMovesTheTree)
{
    const qint64 first = addTree(*t.db, {{"Tree_ID", 1}, {"Latitude", 40.70}, {"Longitude", -74.00}});
    addTree(*t.db, {{"Tree_ID", 2}, {"Latitude", 40.71}, {"Longitude", -74.01}});
    TreeMapView* view = openMap();
    ASSERT_EQ(window->currentRecordId(), first);
    // Another program moves and rates the tree; the map shows it when the
    // record is left.
    t.db->exec("UPDATE _Archived_SurveyData SET Latitude=40.705, Hazard_Rating=25 WHERE ID=?", {first});
    QTest::mouseClick(view, Qt::LeftButton, {}, pixelOf(view, -74.01, 40.71));
    const TreeMapPoints* points = view->points();
    const qint64 index = points->indexOf(first);
    ASSERT_GE(index, 0);
    EXPECT_NEAR(unprojectMapPoint(points->at(index)).y(), 40.705, 1e-9);
    EXPECT_EQ(points->band(index), 4);
}

TEST_F(TreeMapTest, AClickOnATreeLeavesAChangedRecordAsTheGridDoes)
{
    const qint64 first = addTree(*t.db, {{"Tree_ID", 1}, {"Latitude", 40.70}, {"Longitude", -74.00}});
    const qint64 second = addTree(*t.db, {{"Tree_ID", 2}, {"Latitude", 40.71}, {"Longitude", -74.01}});
    TreeMapView* view = openMap();
    ASSERT_EQ(window->currentRecordId(), first);
    auto* treeId = child<QLineEdit>(window.get(), "txtTreeID");
    treeId->selectAll();
    treeId->del();

    // Without a Tree ID the record cannot be left: it stays current.
    t.prompter.answer(MsgAnswer::Ok);
    QTest::mouseClick(view, Qt::LeftButton, {}, pixelOf(view, -74.01, 40.71));
    EXPECT_EQ(t.prompter.prompts().size(), 1u);
    EXPECT_EQ(window->currentRecordId(), first);
    EXPECT_EQ(view->currentTree(), first);

    QTest::keyClicks(treeId, "99");
    QTest::mouseClick(view, Qt::LeftButton, {}, pixelOf(view, -74.01, 40.71));
    EXPECT_EQ(stored(*t.db, first, "Tree_ID").toInt(), 99);
    EXPECT_EQ(window->currentRecordId(), second);
    EXPECT_EQ(view->currentTree(), second);
}

class TreeMapLayerTest : public TreeMapTest {
protected:
    // A GeoJSON file in Web Mercator metres with a line from (lon0, lat) to
    // (lon1, lat).
    QString writeLine(double lon0, double lon1, double lat)
    {
        const auto x = [](double lon) { return lon * 20037508.342789244 / 180.0; };
        const double y = std::log(std::tan((90.0 + lat) * M_PI / 360.0)) * 6378137.0;
        const QString path = t.dir.filePath("streets.geojson");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(R"({"type":"FeatureCollection",
"crs":{"type":"name","properties":{"name":"urn:ogc:def:crs:EPSG::3857"}},
"features":[{"type":"Feature","properties":{"name":"ELM ST"},
"geometry":{"type":"LineString","coordinates":[[%1,%3],[%2,%3]]}},
{"type":"Feature","properties":{},"geometry":{"type":"Point","coordinates":[%1,%3]}}]})")
                       .arg(x(lon0), 0, 'f', 3)
                       .arg(x(lon1), 0, 'f', 3)
                       .arg(y, 0, 'f', 3)
                       .toUtf8());
        return path;
    }
};

TEST_F(TreeMapLayerTest, AChosenLayerIsDrawnUnderTheTreesAndRemembered)
{
    addTree(*t.db, {{"Tree_ID", 1}, {"Latitude", 40.70}, {"Longitude", -74.00}});
    addTree(*t.db, {{"Tree_ID", 2}, {"Latitude", 40.72}, {"Longitude", -73.96}});
    TreeMapView* view = openMap();
    const QString path = writeLine(-74.05, -73.90, 40.71);
    const QRgb background = qRgb(0xf4, 0xf1, 0xea);
    EXPECT_EQ(view->grab().toImage().pixel(pixelOf(view, -73.98, 40.71)), background);

    t.prompter.answerFile(path);
    QTest::mouseClick(child<QPushButton>(window.get(), "cmdBackgroundLayer"), Qt::LeftButton);
    waitForMap();
    ASSERT_TRUE(view->layer());
    ASSERT_EQ(view->layer()->shapes.size(), 1u);
    EXPECT_EQ(view->layer()->skipped, 1) << "the point has no line";
    // Turned from metres into longitude and latitude.
    const QPointF start = unprojectMapPoint(view->layer()->shapes[0].points.first());
    EXPECT_NEAR(start.x(), -74.05, 1e-6);
    EXPECT_NEAR(start.y(), 40.71, 1e-6);
    const QImage drawn = view->grab().toImage();
    const QPoint onLine = pixelOf(view, -73.98, 40.71);
    int lineRows = 0;
    for (int dy = -1; dy <= 1; ++dy)
        lineRows += drawn.pixel(onLine + QPoint(0, dy)) != background;
    EXPECT_GT(lineRows, 0) << "the line is drawn";
    EXPECT_EQ(drawn.pixel(onLine + QPoint(0, 5)), background);
    EXPECT_EQ(storedBackgroundLayer(), path);
    EXPECT_TRUE(child<QPushButton>(window.get(), "cmdRemoveLayer")->isEnabled());

    // A file that is not a GIS file is refused in words; the layer stays.
    const QString junk = t.dir.filePath("notes.geojson");
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a map");
    file.close();
    t.prompter.answerFile(junk).answer(MsgAnswer::Ok);
    QTest::mouseClick(child<QPushButton>(window.get(), "cmdBackgroundLayer"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(t.prompter.prompts().size(), size_t(3), 20000);
    EXPECT_TRUE(t.prompter.prompts().back().message.text.startsWith(junk + " cannot be read as a GIS file"))
        << t.prompter.prompts().back().message.text.toStdString();
    EXPECT_EQ(t.prompter.prompts().back().message.caption, "Background Layer");
    waitForMap();
    EXPECT_EQ(view->layer()->path, path);
    EXPECT_EQ(storedBackgroundLayer(), path);

    // The next editor draws the remembered layer at once.
    window.reset();
    settle();
    view = openMap();
    QTRY_VERIFY_WITH_TIMEOUT(view->layer() != nullptr, 20000);
    EXPECT_EQ(view->layer()->path, path);

    QTest::mouseClick(child<QPushButton>(window.get(), "cmdRemoveLayer"), Qt::LeftButton);
    EXPECT_EQ(view->layer(), nullptr);
    EXPECT_EQ(storedBackgroundLayer(), "");
}

} // namespace
