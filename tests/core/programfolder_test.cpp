#include "core/programfolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vorel {
namespace {

// ---- choosing the folder -------------------------------------------------------------------

TEST(ProgramFolderChoose, Precedence)
{
    using S = ProgramFolderSource;
    const struct {
        const char *name;
        ProgramFolderInputs in;
        QString path;
        S source;
    } cases[] = {
        {"argument beats everything", {"/a/home", "/env", "/exe", true, "/data"}, "/a/home", S::Argument},
        {"argument is cleaned", {"/a//home/./x/..", "", "", false, "/data"}, "/a/home", S::Argument},
        {"environment without argument", {"", "/env", "/exe", true, "/data"}, "/env", S::Environment},
        {"blank argument is no argument", {"  ", "/env", "/exe", true, "/data"}, "/env", S::Environment},
        {"writable executable folder", {"", "", "/exe", true, "/data"}, "/exe", S::ExecutableFolder},
        {"blank environment is no environment", {"", " ", "/exe", true, "/data"}, "/exe", S::ExecutableFolder},
        {"read-only executable folder", {"", "", "/exe", false, "/data"}, "/data", S::UserData},
        {"unknown executable folder", {"", "", "", true, "/data"}, "/data", S::UserData},
        {"installed till, even where it may write", {"", "", "/usr/bin", true, "/data", "/usr/share/vorel"}, "/data", S::UserData},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramFolderChoice choice = chooseProgramFolder(c.in);
        EXPECT_EQ(choice.path, c.path);
        EXPECT_EQ(choice.source, c.source);
    }
}

TEST(ProgramFolderChoose, HomeArgument)
{
    const struct {
        QStringList args;
        QString home;
    } cases[] = {
        {{"vorel-pos", "--home", "/srv/till"}, "/srv/till"},
        {{"vorel-pos", "--home=/srv/till"}, "/srv/till"},
        {{"vorel-pos", "--home"}, ""},                        // no value follows
        {{"vorel-pos", "--home", "/a", "--home=/b"}, "/b"},   // the last one wins
        {{"vorel-pos", "--homes", "/a", "--other"}, ""},
        {{"--home", "/ignored"}, ""},                          // argument 0 is the program
        {{"vorel-pos", "--home", "--home=/x"}, "--home=/x"},  // a value is a value
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(homeArgument(c.args), c.home);
    }
}

TEST(ProgramFolderLocate, AnInstalledTillFillsOnlyANewFolder)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QDir root(tmp.path());
    ASSERT_TRUE(root.mkpath("bin") && root.mkpath("share/vorel"));
    EXPECT_EQ(installedDataFolder(root.filePath("bin")), QString());
    ASSERT_TRUE(root.mkpath("share/vorel/till/skin"));
    QFile shipped(root.filePath("share/vorel/till/VORELZBACK"));
    ASSERT_TRUE(shipped.open(QIODevice::WriteOnly) && shipped.write("clean") && shipped.flush());
    ASSERT_TRUE(shipped.setPermissions(QFile::ReadOwner));
    QFile(root.filePath("share/vorel/till/skin/skin1-blue.skn")).open(QIODevice::WriteOnly);
    const QString shared = installedDataFolder(root.filePath("bin"));
    EXPECT_EQ(shared, root.filePath("share/vorel"));

    // A new folder may hold settings already, and a skin under another case; a folder the
    // till has started in (it has its local store) keeps what the till left there.
    ASSERT_TRUE(root.mkpath("fresh/SKIN") && root.mkpath("used"));
    for (const char *name : {"fresh/VOREL.DLL", "fresh/SKIN/SKIN1-BLUE.SKN", "used/vorelz"})
        QFile(root.filePath(name)).open(QIODevice::WriteOnly);
    for (const char *folder : {"fresh", "used"})
        EXPECT_TRUE(seedProgramFolder(root.filePath(folder), shared + "/till"));
    EXPECT_EQ(QDir(root.filePath("fresh")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"SKIN", "VOREL.DLL", "VORELZBACK"}));
    EXPECT_EQ(QFileInfo(root.filePath("fresh/SKIN/SKIN1-BLUE.SKN")).size(), 0) << "kept, not overwritten";
    QFile store(root.filePath("fresh/VORELZBACK"));
    ASSERT_TRUE(store.open(QIODevice::ReadWrite)) << "the seeded copy is the till's to change";
    EXPECT_EQ(store.readAll(), "clean");
    EXPECT_EQ(QDir(root.filePath("used")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"vorelz"});
}

// ---- names inside the folder ---------------------------------------------------------------

class ProgramFolderFiles : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp_.isValid());
        root_ = QDir::cleanPath(tmp_.path());
        for (const char *dir : {"LOG", "r", "Skin", "Skin/Sub"})
            ASSERT_TRUE(QDir(root_).mkpath(QString::fromLatin1(dir)));
        for (const char *file : {"VORELZ", "VOREL.DLL", "PosTop", "LOG/POS20260101.TXT",
                                 "skin1.skn", "SKIN2.SKN", "Skin3.Skn", "skin.txt", "bskin1.skn",
                                 "Skin/Blue.SKN", "Skin/readme"})
            touch(QString::fromLatin1(file));
    }

    void touch(const QString &name)
    {
        QFile f(root_ + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
    }

    QString at(const char *name) const { return root_ + QLatin1Char('/') + QString::fromUtf8(name); }

    QTemporaryDir tmp_;
    QString root_;
};

TEST_F(ProgramFolderFiles, PathIgnoresCase)
{
    const ProgramFolder folder(root_);
    const struct {
        const char *asked;
        const char *found;
    } cases[] = {
        {"log", "LOG"}, {"vorelz", "VORELZ"}, {"R", "r"}, {"skin/blue.skn", "Skin/Blue.SKN"},
        {"SKIN\\BLUE.skn", "Skin/Blue.SKN"},            // back slashes as written on the till
        {"log/POS20260102.TXT", "LOG/POS20260102.TXT"}, // new file in an existing folder
        {"skin/sub/New/x.skn", "Skin/Sub/New/x.skn"},   // below a missing folder: as given
        {"VORELZBACK", "VORELZBACK"},                    // nothing there: as given
        {"vorelz/log", "VORELZ/log"},                    // below a file: as given
        {"./log//", "LOG"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.asked);
        EXPECT_EQ(folder.path(QString::fromUtf8(c.asked)), at(c.found));
    }
    EXPECT_EQ(folder.path(QString()), root_);
    EXPECT_EQ(folder.path(QStringLiteral("/etc/hosts")), QStringLiteral("/etc/hosts"));
}

TEST_F(ProgramFolderFiles, PathPrefersTheExactSpelling)
{
    // Two spellings can live side by side on this platform; the one asked for wins.
    ASSERT_TRUE(QDir(root_).mkdir(QStringLiteral("log")));
    const ProgramFolder folder(root_);
    EXPECT_EQ(folder.path(QStringLiteral("log")), at("log"));
    EXPECT_EQ(folder.path(QStringLiteral("LOG")), at("LOG"));
    // Neither matches exactly: the lookup settles on one of them, the same one every time.
    const QString chosen = folder.path(QStringLiteral("Log"));
    EXPECT_TRUE(chosen == at("log") || chosen == at("LOG")) << chosen.toStdString();
    EXPECT_EQ(folder.path(QStringLiteral("Log")), chosen);
}

TEST_F(ProgramFolderFiles, GlobIgnoresCaseAndSorts)
{
    const ProgramFolder folder(root_);
    const struct {
        const char *pattern;
        QStringList names;
    } cases[] = {
        {"skin*.skn", {"skin1.skn", "SKIN2.SKN", "Skin3.Skn"}},
        {"SKIN*.SKN", {"skin1.skn", "SKIN2.SKN", "Skin3.Skn"}}, {"skin/*.skn", {"Blue.SKN"}},
        {"SKIN\\*", {"Blue.SKN", "readme"}}, // files only, no sub-folder
        {"missing/*.skn", {}}, {"skin/", {}},
        {"l*", {}}, // LOG is a folder
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(folder.glob(QString::fromUtf8(c.pattern)), c.names);
    }
}

TEST_F(ProgramFolderFiles, EnsureFolder)
{
    const ProgramFolder folder(root_);
    // An existing folder under another case is used, no second one is made.
    EXPECT_EQ(folder.ensureFolder(QStringLiteral("R")), at("r"));
    EXPECT_FALSE(QDir(root_).entryList(QDir::Dirs | QDir::NoDotAndDotDot).contains(QStringLiteral("R")));

    EXPECT_EQ(folder.ensureFolder(QStringLiteral("held")), at("held"));
    EXPECT_TRUE(QFileInfo(at("held")).isDir());

    EXPECT_EQ(folder.ensureFolder(QStringLiteral("log/2026/01")), at("LOG/2026/01"));
    EXPECT_TRUE(QFileInfo(at("LOG/2026/01")).isDir());

    // A file stands where the folder should be.
    EXPECT_TRUE(folder.ensureFolder(QStringLiteral("vorelz")).isEmpty());
    EXPECT_TRUE(QFileInfo(at("VORELZ")).isFile());
}

} // namespace
} // namespace vorel
