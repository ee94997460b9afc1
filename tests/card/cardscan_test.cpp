// Reading the card: what is field data, what is left alone, and a card
// that goes away while it is read.

#include "tests/card/importscene.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kolva;
using namespace kolva::test;

namespace {

class CardScanTest : public ::testing::Test, public ImportScene {};

TEST(CardFolder, TheMarkerAndTheTreePatternMatchInAnyCase)
{
    const struct {
        const char* marker;
        bool isCard;
    } markers[] = {{"RiskRating_1.txt", true}, {"RISKRATING_1.TXT", true}, {"riskrating_1.txt", true},
                   {"RiskRating_2.txt", false}, {"RiskRating_1.txt.bak", false}};
    for (const auto& m : markers) {
        TestCard card(false);
        card.addRaw(m.marker, "x\r\n");
        EXPECT_EQ(isKolvaCard(card.root()), m.isCard) << m.marker;
    }
    TestCard folderNamedLikeTheMarker(false);
    QDir(folderNamedLikeTheMarker.root()).mkdir("RiskRating_1.txt");
    EXPECT_FALSE(isKolvaCard(folderNamedLikeTheMarker.root()));

    TestCard card;
    for (const char* name : {"b.tree", "A.TREE", "c.Tree", "a2.tree", "notes.txt", "x.tree.bak", ".hidden.tree"})
        card.addRaw(name, "1\r\n");
    QDir(card.root()).mkdir("folder.tree");
    QStringList names;
    for (const std::filesystem::path& name : scanCard(card.root()).files.range(0, 100))
        names << shownName(name);
    EXPECT_EQ(names, QStringList({"A.TREE", "a2.tree", "b.tree", "c.Tree"}));
}


TEST_F(CardScanTest, LinksSpecialFilesAndHugeFilesAreNamedAndLeftAloneWithoutBlocking)
{
    QTemporaryDir outside;
    const QByteArray pipe = QFile::encodeName(outside.filePath("pipe"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    writeBytes(outside.filePath("private"), joinLines(treeLines(77)));
    QFile::setPermissions(outside.filePath("private"), QFile::ReadOwner | QFile::WriteOwner);
    card.addTree("a.tree", treeLines(1));
    ASSERT_EQ(::mkfifo(QFile::encodeName(card.path("fifo.tree")).constData(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(card.path("zero.tree")).constData()), 0);
    ASSERT_EQ(::symlink(pipe.constData(), QFile::encodeName(card.path("pipe link.tree")).constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(outside.filePath("private")).constData(),
                        QFile::encodeName(card.path("secret.tree")).constData()), 0);
    ASSERT_EQ(::symlink("a.tree", QFile::encodeName(card.path("twin.tree")).constData()), 0);
    {
        QFile huge(card.path("huge.tree"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(2 * 1024 * 1024));
    }
    // A name in another code page than the system's (a card mounted so).
    const QByteArray rawName = QFile::encodeName(card.root()) + "/A\xe1rbol.tree";
    const QByteArray bytes = joinLines(treeLines(2));
    const int fd = ::open(rawName.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fd);

    const CardImportResult result = import(true);
    EXPECT_EQ(result.found, 8);
    EXPECT_EQ(result.imported, 2);
    EXPECT_EQ(joined("SELECT Tree_ID FROM _Archived_SurveyData WHERE Tree_ID IN (1, 2, 77) ORDER BY Tree_ID"), "1,2");
    const QString special = "is a link or a special file, not a field data file; left alone";
    EXPECT_EQ(names(result.leftAlone, true),
              QStringList({"fifo.tree: " + special, "huge.tree: is 2,097,152 bytes, larger than any field data file "
                                                    "(1 MiB); left alone",
                           "pipe link.tree: " + special, "secret.tree: " + special, "twin.tree: " + special,
                           "zero.tree: " + special}));
    EXPECT_EQ(result.moved, QStringList({"a.tree", QString::fromUtf8("A\u00e1rbol.tree")}));
    EXPECT_EQ(QDir(card.root()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
              QStringList({"RiskRating_1.txt", "fifo.tree", "huge.tree", "pipe link.tree", "secret.tree", "twin.tree",
                           "zero.tree"}))
        << "left on the card as they were";
    EXPECT_EQ(::access((QFile::encodeName(backupDir) + "/A\xe1rbol.tree").constData(), F_OK), 0)
        << "the copy keeps the name's bytes";
    EXPECT_FALSE(QFileInfo::exists(QDir(backupDir).filePath("secret.tree")));
    EXPECT_FALSE(QFileInfo::exists(QDir(backupDir).filePath("zero.tree")));
}


// Pulls the card out once the given number of files has been read.
class PullOutCard : public NullProgress {
public:
    PullOutCard(QString root, qint64 after) : root_(std::move(root)), after_(after) {}
    ~PullOutCard() override { QDir(root_ + "-out").removeRecursively(); }
    void advance(qint64 done) override
    {
        // All its files are gone at once.
        if (done == after_)
            QDir().rename(root_, root_ + "-out");
    }

private:
    QString root_;
    qint64 after_;
};

TEST_F(CardScanTest, ACardPulledOutWhileItIsReadSavesNothing)
{
    // More files than are read ahead of the records being saved.
    for (int n = 1; n <= 600; ++n)
        card.addTree(QStringLiteral("%1.tree").arg(n, 3, 10, QLatin1Char('0')), treeLines(n));
    const int before = rows();
    PullOutCard pull(card.root(), 4);
    const CardImportResult result = import(true, std::nullopt, &pull);
    EXPECT_EQ(result.stop, CardImportResult::Stop::CardRemoved);
    EXPECT_EQ(result.why, "The storage card was removed while its files were read.");
    EXPECT_EQ(rows(), before);
    EXPECT_FALSE(QFileInfo::exists(backupDir));
}


TEST(CardFolder, TheListIsInTheOrderOfTheShownNamesWithoutRegardToCase)
{
    // Bytes as the file system holds them: ASCII, UTF-8, Windows-1252, a tab.
    const std::vector<std::string> inOrder = {"1.tree", "[x].tree", "_x.tree", "a.tree", "b.tree", "B_.tree",
                                              "b~.tree", "~.tree", "\xc3\xa9.tree", "\xe9" "a.tree"};
    std::vector<std::string> shuffled(inOrder.rbegin(), inOrder.rend());
    std::rotate(shuffled.begin(), shuffled.begin() + 3, shuffled.end());
    TestCard card;
    for (const std::string& name : shuffled) {
        const std::string path = QFile::encodeName(card.root()).toStdString() + "/" + name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0) << name;
        ASSERT_EQ(::write(fd, "1\r\n", 3), 3);
        ::close(fd);
    }
    std::vector<std::string> listed;
    for (const std::filesystem::path& name : scanCard(card.root()).files.range(0, 100))
        listed.push_back(name.native());
    EXPECT_EQ(listed, inOrder);
    // A name that is not UTF-8 is one the temporary folder cannot remove.
    for (const std::string& name : inOrder)
        ::unlink((QFile::encodeName(card.root()).toStdString() + "/" + name).c_str());

    // Every pair, both ways, in the order of the names as shown.
    std::vector<std::string> names = inOrder;
    names.insert(names.end(), {"A.TREE", "a\tb.tree", "a b.tree", "a.tree"});
    const auto sign = [](int order) { return order < 0 ? -1 : (order > 0 ? 1 : 0); };
    for (const std::string& a : names)
        for (const std::string& b : names)
            EXPECT_EQ(compareShownNames(a, b), sign(shownName(a).compare(shownName(b), Qt::CaseInsensitive)))
                << a << " / " << b;
}

TEST(DisplayFolder, ShowsTheFolderAsTheUserSeesIt)
{
    EXPECT_EQ(displayFolder("/"), "/");
    EXPECT_EQ(displayFolder("/media/crew/CARD/"), "/media/crew/CARD");
    EXPECT_EQ(displayFolder("/media/crew/CARD"), "/media/crew/CARD");
}


} // namespace
