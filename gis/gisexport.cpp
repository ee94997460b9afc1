#include "gis/gisexport.h"

#include "costing/costtable.h"
#include "costing/csvexport.h"
#include "platform/jobprogress.h"
#include "store/database.h"
#include "store/numbers.h"
#include "store/rowcursor.h"
#include "store/safefile.h"
#include "store/surveycolumns.h"
#include "store/textroutines.h"
#include "store/dates.h"
#include "store/sqlforms.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kolva {

namespace {

// The Shapefile's names of the columns: a DBF field name holds at most 10
// characters. Fixed, so that a map made from one export reads the next.
struct ShortName {
    const char* column;
    const char* shortName;
};
constexpr std::array<ShortName, 44> ShortNames = {{
    {"Surveyor", "Surveyor"},
    {"Date_Evaluated", "Date_Eval"},
    {"RiskZone", "RiskZone"},
    {"StreetNum", "StreetNum"},
    {"StreetName", "StreetName"},
    {"Latitude", "Latitude"},
    {"Longitude", "Longitude"},
    {"Tree_ID", "Tree_ID"},
    {"Location", "Location"},
    {"Species", "Species"},
    {"DBH", "DBH"},
    {"Site", "Site"},
    {"Obstructions_Visual", "Obstr_Vis"},
    {"Obstructions_Physical", "Obstr_Phys"},
    {"Crown_Canker", "Cr_Canker"},
    {"Crown_Crack", "Cr_Crack"},
    {"Crown_Deadwood", "Cr_Deadwd"},
    {"Crown_Decay", "Cr_Decay"},
    {"Crown_Arch_1", "Cr_Arch_1"},
    {"Crown_Arch_2", "Cr_Arch_2"},
    {"Crown_Arch_3", "Cr_Arch_3"},
    {"WeakUnion", "WeakUnion"},
    {"Trunk_Canker", "Tr_Canker"},
    {"Trunk_Crack", "Tr_Crack"},
    {"Trunk_Decay", "Tr_Decay"},
    {"TrunkDecay_Shell", "TrDec_Shel"},
    {"TrunkDecay_Diam", "TrDec_Diam"},
    {"TrunkDecay_Pct", "TrDec_Pct"},
    {"Trunk_Arch_1", "Tr_Arch_1"},
    {"Trunk_Arch_2", "Tr_Arch_2"},
    {"Roots_Deep", "Rt_Deep"},
    {"Roots_Injury", "Rt_Injury"},
    {"Roots_Decay", "Rt_Decay"},
    {"Roots_Arch1", "Rt_Arch1"},
    {"Roots_Arch2", "Rt_Arch2"},
    {"Size_Defect", "SizeDefect"},
    {"Prob_Failure", "Prob_Fail"},
    {"Prob_TargetImpact", "Prob_Targt"},
    {"OtherRisk", "OtherRisk"},
    {"Hazard_Rating", "Haz_Rating"},
    {"Desc_OtherRisk", "Desc_Other"},
    {"ReinspectYear", "ReinspYear"},
    {"CorrectiveActions", "CorrAction"},
    {"Note", "Note"},
}};

constexpr bool shortNamesFit()
{
    for (const ShortName& name : ShortNames) {
        if (std::char_traits<char>::length(name.shortName) > 10)
            return false;
    }
    return true;
}
static_assert(shortNamesFit(), "a DBF field name holds at most 10 characters");

// The most bytes a DBF text field holds.
constexpr int ShapefileTextBytes = 254;

GisFieldKind kindOf(SurveyColumnKind kind)
{
    switch (kind) {
    case SurveyColumnKind::Int16:
    case SurveyColumnKind::Int32:
    case SurveyColumnKind::YesNo:
        return GisFieldKind::Integer;
    case SurveyColumnKind::DateTime:
        return GisFieldKind::Date;
    case SurveyColumnKind::Real:
        return GisFieldKind::Real;
    case SurveyColumnKind::Text:
        break;
    }
    return GisFieldKind::Text;
}

void registerGdal()
{
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

// GDAL's failures on this thread while an export runs, instead of lines on
// standard error: the last one is what the message gives.
class GdalErrors {
public:
    GdalErrors() { CPLPushErrorHandlerEx(&GdalErrors::handle, this); }
    ~GdalErrors() { CPLPopErrorHandler(); }
    GdalErrors(const GdalErrors&) = delete;
    GdalErrors& operator=(const GdalErrors&) = delete;

    bool failed() const { return !message_.isEmpty(); }
    QString message() const { return message_; }
    int number() const { return number_; }

private:
    static void CPL_STDCALL handle(CPLErr level, CPLErrorNum number, const char* message)
    {
        const int savedErrno = errno;
        if (level < CE_Failure)
            return; // a warning: the export names what it changed itself
        auto* self = static_cast<GdalErrors*>(CPLGetErrorHandlerUserData());
        self->message_ = QString::fromUtf8(message ? message : "unknown failure").trimmed();
        self->number_ = savedErrno != 0 ? savedErrno : (number != 0 ? int(number) : EIO);
    }

    QString message_;
    int number_ = 0;
};

QString fileNameOf(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

[[noreturn]] void failWith(int number, const QString& path, const QString& reason)
{
    throw GisExportError(number, QStringLiteral("Could not write %1: %2").arg(fileNameOf(path), reason));
}

[[noreturn]] void gdalFailed(const GdalErrors& errors, const QString& path, const char* what)
{
    if (errors.failed())
        failWith(errors.number(), path, errors.message());
    failWith(EIO, path, QString::fromLatin1(what));
}

// A folder made beside the target for GDAL to write in, removed with what
// is left in it unless its files were moved out.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const QString& target)
    {
        const QFileInfo info(target);
        QByteArray pattern = QFile::encodeName(QDir(info.absolutePath()).filePath(
            QStringLiteral(".%1.gis-XXXXXX").arg(info.fileName())));
        if (::mkdtemp(pattern.data()) == nullptr)
            failWith(errno, target, systemReason(errno));
        path_ = QFile::decodeName(pattern);
    }
    ~TemporaryFolder()
    {
        if (!path_.isEmpty())
            QDir(path_).removeRecursively();
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    QString path() const { return path_; }

private:
    QString path_;
};

// The files of the set a target is: the Shapefile's companions beside it.
QStringList companionSuffixes(GisFormat format)
{
    if (format == GisFormat::Shapefile)
        return {QStringLiteral("shx"), QStringLiteral("dbf"), QStringLiteral("prj"), QStringLiteral("cpg")};
    return {};
}

QString withSuffix(const QString& path, const QString& suffix)
{
    const QFileInfo info(path);
    const QString base = info.fileName().left(info.fileName().size() - info.suffix().size());
    // Upper-case companions beside an upper-case .SHP, as GDAL names them.
    const bool upper = info.suffix() == info.suffix().toUpper();
    return QDir(info.absolutePath()).filePath(base + (upper ? suffix.toUpper() : suffix));
}

// Refuses, naming it, an entry of the set that is a link, folder, pipe or device.
void refuseOddEntries(const QStringList& targets)
{
    for (const QString& target : targets) {
        struct stat st {};
        if (::lstat(QFile::encodeName(target).constData(), &st) != 0 || S_ISREG(st.st_mode))
            continue;
        const int number = S_ISLNK(st.st_mode) ? ELOOP : S_ISDIR(st.st_mode) ? EISDIR : EEXIST;
        throw GisExportError(number, notARegularFile(target));
    }
}

// Puts a file written by GDAL on the disk before it takes its name.
int syncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return errno;
    int error = ::fsync(fd) == 0 ? 0 : errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

// Holds the target's folder while a set of files is renamed into it, so
// that two exports to the same Shapefile (two windows, a window and the
// scheduled command) never leave the files of one beside those of the other.
class FolderLock {
public:
    explicit FolderLock(const QString& folder)
        : fd_(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FolderLock()
    {
        if (fd_ >= 0)
            ::close(fd_); // and with it the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

// Moves the files GDAL wrote into the target's folder, each renamed over
// its entry (which must be a regular file or nothing); a replaced file's
// mode is kept. Everything is checked before the first rename.
void moveIntoPlace(const QString& folder, const QString& target)
{
    const QString targetFolder = QFileInfo(target).absolutePath();
    const FolderLock lock(targetFolder);
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    // GDAL names a Shapefile's files in lower case ("TREES.shp" for
    // "TREES.SHP"): each takes the name the target asks for.
    QStringList targets;
    for (const QString& name : names) {
        const QString suffix = QFileInfo(name).suffix();
        targets << (suffix.compare(QFileInfo(target).suffix(), Qt::CaseInsensitive) == 0
                        ? QFileInfo(target).absoluteFilePath()
                        : withSuffix(target, suffix.toLower()));
    }
    refuseOddEntries(targets);
    for (int i = 0; i < names.size(); ++i) {
        const QString written = QDir(folder).filePath(names[i]);
        struct stat old {};
        if (::lstat(QFile::encodeName(targets[i]).constData(), &old) == 0 && S_ISREG(old.st_mode))
            ::chmod(QFile::encodeName(written).constData(), old.st_mode & 07777);
        if (const int error = syncFile(written); error != 0)
            failWith(error, targets[i], systemReason(error));
    }
    for (int i = 0; i < names.size(); ++i) {
        refuseOddEntries({targets[i]});
        if (::rename(QFile::encodeName(QDir(folder).filePath(names[i])).constData(),
                     QFile::encodeName(targets[i]).constData())
            != 0) {
            const int error = errno;
            failWith(error, targets[i], systemReason(error));
        }
    }
    const int dir = ::open(QFile::encodeName(targetFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// How a record is named in the log.
struct RecordName {
    qint64 id = 0;
    QString treeId;
    QString address;
    QString date;
    QString text() const
    {
        QString said = QStringLiteral("ID %1").arg(id);
        if (!treeId.isEmpty())
            said += QStringLiteral(", Tree ID %1").arg(treeId);
        if (!address.isEmpty())
            said += QStringLiteral(", %1").arg(address);
        if (!date.isEmpty())
            said += QStringLiteral(", %1").arg(date);
        return said;
    }
};

QString shown(QByteArrayView utf8)
{
    return visibleText(QString::fromUtf8(utf8));
}

// A coordinate as stored: a number, a number in a text, or nothing.
struct Coordinate {
    bool present = false;
    bool number = false;
    double value = 0;
    QString text; // as stored, for the log
};

Coordinate readCoordinate(const RowCursor& row, int column)
{
    Coordinate c;
    switch (row.kind(column)) {
    case RowCursor::Kind::Null:
        return c;
    case RowCursor::Kind::Integer:
        c.present = c.number = true;
        c.value = double(row.integer(column));
        break;
    case RowCursor::Kind::Real:
        c.present = c.number = true;
        c.value = row.real(column);
        break;
    case RowCursor::Kind::Text: {
        const QByteArray text = row.text(column).toByteArray().trimmed();
        if (text.isEmpty())
            return c;
        c.present = true;
        bool ok = false;
        c.value = text.toDouble(&ok);
        c.number = ok;
        break;
    }
    }
    if (c.number && !std::isfinite(c.value))
        c.number = false;
    c.text = c.number ? plainNumber(c.value) : shown(row.text(column));
    return c;
}

// Why a position cannot be written; empty when it can.
QString positionProblem(const Coordinate& latitude, const Coordinate& longitude)
{
    if (!latitude.present && !longitude.present)
        return QStringLiteral("no coordinates");
    if (!latitude.present)
        return QStringLiteral("no latitude");
    if (!longitude.present)
        return QStringLiteral("no longitude");
    if (!latitude.number)
        return QStringLiteral("latitude \"%1\" is not a number").arg(latitude.text);
    if (!longitude.number)
        return QStringLiteral("longitude \"%1\" is not a number").arg(longitude.text);
    if (latitude.value < -90 || latitude.value > 90)
        return QStringLiteral("latitude %1 is outside -90 to 90").arg(latitude.text);
    if (longitude.value < -180 || longitude.value > 180)
        return QStringLiteral("longitude %1 is outside -180 to 180").arg(longitude.text);
    if (latitude.value == 0 && longitude.value == 0)
        return QStringLiteral("latitude and longitude are both 0 (no position taken)");
    return {};
}

// "2007-03-05 14:20:00" (or the date alone) as its date.
std::optional<QDate> storedDate(QByteArrayView text)
{
    if (text.size() < 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    const auto digits = [&](int from, int count) {
        int value = 0;
        for (int i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    if (text.size() > 10 && text[10] != ' ' && text[10] != 'T')
        return std::nullopt;
    const QDate date(digits(0, 4), digits(5, 2), digits(8, 2));
    if (!date.isValid())
        return std::nullopt;
    return date;
}

// The length of the longest UTF-8 prefix of at most `limit` bytes that ends
// at a character's end.
qsizetype cutAt(QByteArrayView utf8, qsizetype limit)
{
    if (utf8.size() <= limit)
        return utf8.size();
    qsizetype end = limit;
    while (end > 0 && (uchar(utf8[end]) & 0xC0) == 0x80)
        --end;
    return end;
}

const char* driverName(GisFormat format)
{
    switch (format) {
    case GisFormat::GeoPackage:
        return "GPKG";
    case GisFormat::GeoJson:
        return "GeoJSON";
    case GisFormat::Shapefile:
        break;
    }
    return "ESRI Shapefile";
}

struct Attribute {
    GisField field;
    SurveyColumnKind stored;
    int ogrIndex = -1;
};

// A Shapefile's text fields are as wide as their longest value in the
// period (at most 254 bytes), so that the .dbf is not mostly blanks.
std::vector<int> textWidths(Database& db, const std::vector<Attribute>& attributes, const PeriodCondition& period)
{
    QStringList maxima;
    for (const Attribute& a : attributes)
        maxima << (a.field.kind == GisFieldKind::Text
                       ? QStringLiteral("MAX(%1)").arg(utf8Length(db, a.field.column))
                       : QStringLiteral("0"));
    RowCursor row(db,
                  QStringLiteral("SELECT %1 FROM _Archived_SurveyData WHERE %2")
                      .arg(maxima.join(QStringLiteral(", ")), period.sql),
                  period.values);
    std::vector<int> widths(attributes.size(), 1);
    if (row.next()) {
        for (size_t i = 0; i < attributes.size(); ++i) {
            if (row.kind(int(i)) == RowCursor::Kind::Integer)
                widths[i] = int(std::clamp<qint64>(row.integer(int(i)), 1, ShapefileTextBytes));
        }
    }
    return widths;
}

class Dataset {
public:
    ~Dataset() { close(); }
    void close()
    {
        if (handle) {
            GDALClose(handle);
            handle = nullptr;
        }
    }
    GDALDatasetH handle = nullptr;
};

class Feature {
public:
    explicit Feature(OGRFeatureDefnH defn) : handle(OGR_F_Create(defn)) {}
    ~Feature() { OGR_F_Destroy(handle); }
    Feature(const Feature&) = delete;
    Feature& operator=(const Feature&) = delete;
    OGRFeatureH handle;
};

class SpatialReference {
public:
    SpatialReference() : handle(OSRNewSpatialReference(nullptr)) {}
    ~SpatialReference() { OSRDestroySpatialReference(handle); }
    SpatialReference(const SpatialReference&) = delete;
    SpatialReference& operator=(const SpatialReference&) = delete;
    OGRSpatialReferenceH handle;
};

// GDAL's options, kept alive while it reads them.
class Options {
public:
    ~Options() { CSLDestroy(list_); }
    void set(const char* name, const char* value) { list_ = CSLSetNameValue(list_, name, value); }
    char** list() const { return list_; }

private:
    char** list_ = nullptr;
};

// The engine's writes need not reach the disk one by one: the finished
// files are put on the disk before they are renamed into place.
class FastSqlite {
public:
    FastSqlite() { CPLSetThreadLocalConfigOption("OGR_SQLITE_SYNCHRONOUS", "OFF"); }
    ~FastSqlite() { CPLSetThreadLocalConfigOption("OGR_SQLITE_SYNCHRONOUS", nullptr); }
};

GisExportResult cancelled(qint64 inPeriod)
{
    GisExportResult result;
    result.inPeriod = inPeriod;
    result.cancelled = true;
    return result;
}

} // namespace

std::optional<GisFormat> gisFormatOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("gpkg"))
        return GisFormat::GeoPackage;
    if (suffix == QLatin1String("geojson"))
        return GisFormat::GeoJson;
    if (suffix == QLatin1String("shp"))
        return GisFormat::Shapefile;
    return std::nullopt;
}

QString gisFormatRefusal(const QString& path)
{
    return QStringLiteral("%1: the name of a GIS file ends in .gpkg (GeoPackage), .geojson (GeoJSON) or .shp "
                          "(Shapefile).")
        .arg(fileNameOf(path));
}

const std::vector<GisField>& gisFields()
{
    static const std::vector<GisField> fields = [] {
        std::vector<GisField> list;
        for (const QString& column : surveyCsvFields()) {
            const SurveyColumn* described = findSurveyColumn(column);
            QString shortName;
            for (const ShortName& name : ShortNames) {
                if (column.compare(QLatin1String(name.column), Qt::CaseInsensitive) == 0)
                    shortName = QString::fromLatin1(name.shortName);
            }
            Q_ASSERT(described && !shortName.isEmpty());
            list.push_back({column, shortName.isEmpty() ? column.left(10) : shortName,
                            described ? kindOf(described->kind) : GisFieldKind::Text});
        }
        return list;
    }();
    return fields;
}

QString gisLogPath(const QString& path)
{
    return path + QStringLiteral(".log");
}

QString gisExportNotes(const GisExportResult& result)
{
    QStringList lines;
    if (result.unplaced > 0)
        lines << (result.unplaced == 1
                      ? QStringLiteral("1 record has no usable coordinates and was not written.")
                      : QStringLiteral("%1 records have no usable coordinates and were not written.")
                            .arg(result.unplaced));
    if (result.emptied > 0)
        lines << (result.emptied == 1 ? QStringLiteral("1 value could not be read and was written empty.")
                                      : QStringLiteral("%1 values could not be read and were written empty.")
                                            .arg(result.emptied));
    if (result.cut > 0)
        lines << (result.cut == 1
                      ? QStringLiteral("1 text was longer than a Shapefile holds (254 bytes) and was cut.")
                      : QStringLiteral("%1 texts were longer than a Shapefile holds (254 bytes) and were cut.")
                            .arg(result.cut));
    if (!lines.isEmpty() && !result.logPath.isEmpty())
        lines << QStringLiteral("They are listed in %1.").arg(QDir::toNativeSeparators(result.logPath));
    if (result.undated > 0)
        lines << undatedRecordsNote(result.undated);
    return lines.join(QLatin1Char('\n'));
}

GisExportResult exportSurveyGis(Database& db, const GisExportOptions& options, Progress& progress)
{
    const std::optional<GisFormat> format = gisFormatOf(options.path);
    if (!format)
        throw GisExportError(EINVAL, gisFormatRefusal(options.path));
    const PeriodCondition period = periodCondition(options.period, options.everyRecord);

    progress.beginStage(QStringLiteral("Counting the trees"), 0);
    const qint64 total =
        db.scalar(QStringLiteral("SELECT COUNT(*) FROM _Archived_SurveyData WHERE ") + period.sql, period.values)
            .toLongLong();
    if (total == 0)
        return {};

    // The whole set and the log are checked before anything is written.
    QStringList targets{options.path, gisLogPath(options.path)};
    for (const QString& suffix : companionSuffixes(*format))
        targets << withSuffix(options.path, suffix);
    refuseOddEntries(targets);

    std::vector<Attribute> attributes;
    QStringList fields{QStringLiteral("ID")};
    int latitudeColumn = -1;
    int longitudeColumn = -1;
    int treeIdColumn = -1, streetNumColumn = -1, streetNameColumn = -1, dateColumn = -1;
    for (const GisField& field : gisFields()) {
        const SurveyColumn* described = findSurveyColumn(field.column);
        attributes.push_back({field, described ? described->kind : SurveyColumnKind::Text});
        const int column = int(fields.size());
        fields << field.column;
        if (field.column == QLatin1String("Latitude"))
            latitudeColumn = column;
        else if (field.column == QLatin1String("Longitude"))
            longitudeColumn = column;
        else if (field.column == QLatin1String("Tree_ID"))
            treeIdColumn = column;
        else if (field.column == QLatin1String("StreetNum"))
            streetNumColumn = column;
        else if (field.column == QLatin1String("StreetName"))
            streetNameColumn = column;
        else if (field.column == QLatin1String("Date_Evaluated"))
            dateColumn = column;
    }
    const bool shapefile = *format == GisFormat::Shapefile;
    const std::vector<int> widths = shapefile ? textWidths(db, attributes, period) : std::vector<int>();

    registerGdal();
    GdalErrors errors;
    FastSqlite fastSqlite;
    GDALDriverH driver = GDALGetDriverByName(driverName(*format));
    if (!driver)
        failWith(ENOSYS, options.path, QStringLiteral("GDAL has no %1 driver").arg(QLatin1String(driverName(*format))));

    TemporaryFolder folder(options.path);
    const QString written = QDir(folder.path()).filePath(QFileInfo(options.path).fileName());
    Dataset dataset;
    dataset.handle = GDALCreate(driver, QFile::encodeName(written).constData(), 0, 0, 0, GDT_Unknown, nullptr);
    if (!dataset.handle)
        gdalFailed(errors, options.path, "the file could not be made");

    SpatialReference wgs84;
    if (OSRImportFromEPSG(wgs84.handle, 4326) != OGRERR_NONE)
        gdalFailed(errors, options.path, "EPSG:4326 is not known (is PROJ's proj.db installed?)");
    OSRSetAxisMappingStrategy(wgs84.handle, OAMS_TRADITIONAL_GIS_ORDER);
    Options layerOptions;
    if (*format == GisFormat::GeoJson)
        layerOptions.set("RFC7946", "YES");
    if (shapefile) {
        layerOptions.set("ENCODING", "UTF-8");
        layerOptions.set("SPATIAL_INDEX", "NO");
    }
    OGRLayerH layer = GDALDatasetCreateLayer(dataset.handle, "trees", wgs84.handle, wkbPoint, layerOptions.list());
    if (!layer)
        gdalFailed(errors, options.path, "the layer could not be made");
    for (size_t i = 0; i < attributes.size(); ++i) {
        Attribute& a = attributes[i];
        const OGRFieldType type = a.field.kind == GisFieldKind::Integer ? OFTInteger
                                  : a.field.kind == GisFieldKind::Date  ? OFTDate
                                  : a.field.kind == GisFieldKind::Real  ? OFTReal
                                                                        : OFTString;
        const QByteArray name = (shapefile ? a.field.shortName : a.field.column).toLatin1();
        OGRFieldDefnH defn = OGR_Fld_Create(name.constData(), type);
        if (shapefile) {
            if (type == OFTString)
                OGR_Fld_SetWidth(defn, widths[i]);
            else if (type == OFTInteger)
                OGR_Fld_SetWidth(defn, a.stored == SurveyColumnKind::Int16 ? 6 : 11);
            else if (type == OFTReal)
                OGR_Fld_Set(defn, name.constData(), type, 20, 12, OJUndefined);
        }
        const OGRErr made = OGR_L_CreateField(layer, defn, TRUE);
        OGR_Fld_Destroy(defn);
        if (made != OGRERR_NONE)
            gdalFailed(errors, options.path, "an attribute could not be made");
        a.ogrIndex = int(i);
    }

    const bool transaction = *format == GisFormat::GeoPackage;
    if (transaction && GDALDatasetStartTransaction(dataset.handle, FALSE) != OGRERR_NONE)
        gdalFailed(errors, options.path, "the transaction could not be begun");

    RowCursor row(db,
                  QStringLiteral("SELECT %1 FROM _Archived_SurveyData WHERE %2 ORDER BY ID")
                      .arg(fields.join(QStringLiteral(", ")), period.sql),
                  period.values);
    progress.beginStage(QStringLiteral("Writing the GIS file"), total);
    progress.setCancellable(true);

    Feature feature(OGR_L_GetLayerDefn(layer));
    OGR_F_SetGeometryDirectly(feature.handle, OGR_G_CreateGeometry(wkbPoint));
    OGRGeometryH point = OGR_F_GetGeometryRef(feature.handle);

    GisExportResult result;
    QStringList unplacedLines;
    QStringList valueLines;
    std::string text;
    qint64 done = 0;
    const auto recordName = [&] {
        RecordName name;
        name.id = row.integer(0);
        if (row.kind(treeIdColumn) != RowCursor::Kind::Null)
            name.treeId = shown(row.text(treeIdColumn));
        name.address = (shown(row.text(streetNumColumn)) + QLatin1Char(' ') + shown(row.text(streetNameColumn)))
                           .trimmed();
        if (row.kind(dateColumn) != RowCursor::Kind::Null) {
            const std::optional<QDate> date = storedDate(row.text(dateColumn));
            name.date = date ? shownDate(*date) : shown(row.text(dateColumn));
        }
        return name.text();
    };

    while (row.next()) {
        ++done;
        if (done % 1000 == 0) {
            progress.advance(done);
            if (progress.cancelRequested())
                return cancelled(total); // the temporary folder goes with its guard
        }
        const Coordinate latitude = readCoordinate(row, latitudeColumn);
        const Coordinate longitude = readCoordinate(row, longitudeColumn);
        if (const QString problem = positionProblem(latitude, longitude); !problem.isEmpty()) {
            ++result.unplaced;
            unplacedLines << recordName() + QStringLiteral(": ") + problem;
            continue;
        }
        OGR_G_SetPoint_2D(point, 0, longitude.value, latitude.value);

        for (const Attribute& a : attributes) {
            const int column = a.ogrIndex + 1;
            const RowCursor::Kind stored = row.kind(column);
            if (stored == RowCursor::Kind::Null) {
                OGR_F_SetFieldNull(feature.handle, a.ogrIndex);
                continue;
            }
            const auto unreadable = [&](const QString& what) {
                OGR_F_SetFieldNull(feature.handle, a.ogrIndex);
                ++result.emptied;
                valueLines << QStringLiteral("%1: %2 \"%3\" %4; written empty")
                                  .arg(recordName(), a.field.column, shown(row.text(column)), what);
            };
            switch (a.field.kind) {
            case GisFieldKind::Text: {
                QByteArrayView bytes = row.text(column);
                if (shapefile && bytes.size() > ShapefileTextBytes) {
                    ++result.cut;
                    valueLines << QStringLiteral("%1: %2 of %3 bytes cut to %4 bytes")
                                      .arg(recordName(), a.field.column)
                                      .arg(bytes.size())
                                      .arg(cutAt(bytes, ShapefileTextBytes));
                    bytes = bytes.first(cutAt(bytes, ShapefileTextBytes));
                }
                text.assign(bytes.data(), size_t(bytes.size()));
                OGR_F_SetFieldString(feature.handle, a.ogrIndex, text.c_str());
                break;
            }
            case GisFieldKind::Integer: {
                const qint64 low = surveyColumnMinimum(a.stored);
                const qint64 high = surveyColumnMaximum(a.stored);
                std::optional<qint64> value;
                if (stored == RowCursor::Kind::Integer) {
                    if (row.integer(column) >= low && row.integer(column) <= high)
                        value = row.integer(column);
                } else {
                    const QString typed = QString::fromUtf8(row.text(column)).trimmed();
                    if (typed.isEmpty()) {
                        OGR_F_SetFieldNull(feature.handle, a.ogrIndex);
                        break;
                    }
                    value = roundHalfEven(typed, low, high);
                }
                if (value)
                    OGR_F_SetFieldInteger(feature.handle, a.ogrIndex, int(*value));
                else
                    unreadable(QStringLiteral("is not a whole number from %1 to %2").arg(low).arg(high));
                break;
            }
            case GisFieldKind::Date: {
                const std::optional<QDate> date =
                    stored == RowCursor::Kind::Text ? storedDate(row.text(column)) : std::nullopt;
                if (date)
                    OGR_F_SetFieldDateTimeEx(feature.handle, a.ogrIndex, date->year(), date->month(), date->day(), 0,
                                             0, 0.0f, 0);
                else
                    unreadable(QStringLiteral("is not a date"));
                break;
            }
            case GisFieldKind::Real:
                OGR_F_SetFieldDouble(feature.handle, a.ogrIndex,
                                     column == latitudeColumn ? latitude.value : longitude.value);
                break;
            }
        }
        if (row.kind(dateColumn) == RowCursor::Kind::Null)
            ++result.undated;
        OGR_F_SetFID(feature.handle, OGRNullFID);
        if (OGR_L_CreateFeature(layer, feature.handle) != OGRERR_NONE)
            gdalFailed(errors, options.path, "a feature could not be written");
        ++result.records;
    }
    progress.advance(done);
    if (progress.cancelRequested())
        return cancelled(total);
    progress.setCancellable(false);

    result.inPeriod = total;
    if (result.records > 0) {
        progress.beginStage(QStringLiteral("Finishing the GIS file"), 0);
        if (transaction && GDALDatasetCommitTransaction(dataset.handle) != OGRERR_NONE)
            gdalFailed(errors, options.path, "the transaction could not be committed");
        dataset.close(); // the spatial index is built here
        if (errors.failed())
            gdalFailed(errors, options.path, "the file could not be closed");
        progress.beginStage(QStringLiteral("Putting the files in place"), 0);
        moveIntoPlace(folder.path(), options.path);
    }

    // The log: what was left out or changed, always beside a written file
    // so that an old log never speaks for a new file.
    QStringList log;
    log << QStringLiteral("KOLVA GIS export to %1, %2")
               .arg(QDir::toNativeSeparators(QFileInfo(options.path).absoluteFilePath()),
                    QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    log << (options.everyRecord ? QStringLiteral("Period: every record on file")
                                : QStringLiteral("Period: %1 to %2")
                                      .arg(options.period.begin.toString(Qt::ISODate),
                                           options.period.end.toString(Qt::ISODate)));
    log << QStringLiteral("Records in the period: %1; written: %2; not written for want of a usable position: %3")
               .arg(total)
               .arg(result.records)
               .arg(result.unplaced);
    if (!unplacedLines.isEmpty())
        log << QString() << QStringLiteral("Not written:") << unplacedLines;
    if (!valueLines.isEmpty())
        log << QString() << QStringLiteral("Written with a value changed:") << valueLines;
    const QString logPath = gisLogPath(options.path);
    if (const QString reason = writeFileSafely(logPath, (log.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        !reason.isEmpty()) {
        throw GisExportError(EIO, result.records > 0
                                      ? QStringLiteral("%1 was written, but its log was not: %2")
                                            .arg(fileNameOf(options.path), reason)
                                      : reason);
    }
    result.logPath = logPath;
    return result;
}

} // namespace kolva
