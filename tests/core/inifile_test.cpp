#include "core/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextCodec>
#include <gtest/gtest.h>

using vorel::IniFile;

namespace {

QByteArray gbk(const QString &text)
{
    return QTextCodec::codecForName("GBK")->fromUnicode(text);
}

QByteArray gbk(const char *utf8)
{
    return gbk(QString::fromUtf8(utf8));
}

class IniFileTest : public ::testing::Test {
protected:
    QString file(const QString &name = QStringLiteral("VOREL.DLL")) const { return dir_.filePath(name); }

    void put(const QByteArray &bytes, const QString &name = QStringLiteral("VOREL.DLL")) const
    {
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    QByteArray get(const QString &name = QStringLiteral("VOREL.DLL")) const
    {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
};

// A file as a shop keeps it: comments, blank lines, keys and a section the program does
// not know, Windows line breaks, and one value that is not even valid GBK.
QByteArray shopFile()
{
    return gbk("; 收银机配置\r\n"
               "\r\n"
               "[sys]\r\n"
               "POS_Title=服装收银系统\r\n"
               "# 备注: 不要改\r\n"
               "UNKNOWN = 保留的值 \r\n"
               "\r\n"
               "[Vendor]\r\n"
               "x=1\r\n")
        + QByteArray("junk=\x81\x20\xFF\r\n")
        + gbk("\r\n"
              "[POS]\r\n"
              "OT2 = 1\r\n"
              "STR1=欢迎您!\r\n"
              "a line without an equals sign\r\n"
              "\r\n");
}

} // namespace

TEST_F(IniFileTest, ChangingOneValueKeepsEveryOtherByte)
{
    struct Case {
        const char *section;
        const char *key;
        QString value;
        QByteArray before;
        QByteArray after;
    };
    const Case cases[] = {
        {"POS", "OT2", QStringLiteral("0"), "OT2 = 1\r\n", "OT2 = 0\r\n"},
        {"pos", "str1", QStringLiteral("新品上市"), gbk("STR1=欢迎您!\r\n"), gbk("STR1=新品上市\r\n")},
        {"Vendor", "X", QStringLiteral("22"), "x=1\r\n", "x=22\r\n"},
        {"sys", "unknown", QString(), gbk("UNKNOWN = 保留的值 \r\n"), "UNKNOWN = \r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        put(shopFile());
        IniFile ini(file());
        ASSERT_TRUE(ini.writeString(QString::fromLatin1(c.section), QString::fromLatin1(c.key), c.value));
        QByteArray expected = shopFile();
        ASSERT_EQ(expected.count(c.before), 1);
        expected.replace(c.before, c.after);
        EXPECT_EQ(get(), expected);
        EXPECT_EQ(IniFile(file()).readString(QString::fromLatin1(c.section), QString::fromLatin1(c.key)), c.value);
    }
}

TEST_F(IniFileTest, WritingTheSameValueAgainLeavesTheFileAlone)
{
    put(shopFile());
    IniFile ini(file());
    EXPECT_FALSE(ini.isUtf8()); // no byte order mark: GBK
    EXPECT_TRUE(ini.writeBool(QStringLiteral("POS"), QStringLiteral("OT2"), true));
    EXPECT_EQ(get(), shopFile());
}

TEST_F(IniFileTest, NewKeysGoAfterTheLastKeyOfTheirSectionNewSectionsAtTheEnd)
{
    put("[A]\r\nk1=1\r\n; end of A\r\n\r\n[B]\r\nk2=2");
    IniFile ini(file());
    ASSERT_TRUE(ini.writeInt(QStringLiteral("a"), QStringLiteral("k3"), 3));
    ASSERT_TRUE(ini.writeInt(QStringLiteral("B"), QStringLiteral("k4"), 4));
    ASSERT_TRUE(ini.writeInt(QStringLiteral("C"), QStringLiteral("k5"), 5));
    EXPECT_EQ(get(), QByteArray("[A]\r\nk1=1\r\nk3=3\r\n; end of A\r\n\r\n[B]\r\nk2=2\r\nk4=4\r\n\r\n[C]\r\nk5=5\r\n"));
    EXPECT_EQ(ini.sectionKeys(QStringLiteral("A")), QStringList({QStringLiteral("k1"), QStringLiteral("k3")}));
    EXPECT_EQ(ini.sections(), QStringList({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
}

TEST_F(IniFileTest, UnixLineBreaksStayUnix)
{
    put("[A]\nk=1\n");
    ASSERT_TRUE(IniFile(file()).writeString(QStringLiteral("A"), QStringLiteral("new"), QStringLiteral("x")));
    EXPECT_EQ(get(), QByteArray("[A]\nk=1\nnew=x\n"));
}

TEST_F(IniFileTest, NamesMatchWithoutRegardToCaseAndKeepTheirSpelling)
{
    put("[Login]\r\nDATAPORT=9000\r\n[pos]\r\not2=0\r\nLOGO=a.png\r\nNUM2 = 5\r\n");
    IniFile ini(file());
    struct Read {
        const char *section;
        const char *key;
        const char *expected;
    };
    const Read reads[] = {
        {"login", "dataport", "9000"}, {"LOGIN", "DataPort", "9000"}, {"POS", "OT2", "0"},
        {"POS", "num2", "5"},
    };
    for (const Read &r : reads) {
        SCOPED_TRACE(std::string(r.section) + "/" + r.key);
        EXPECT_TRUE(ini.hasKey(QString::fromLatin1(r.section), QString::fromLatin1(r.key)));
        EXPECT_EQ(ini.readString(QString::fromLatin1(r.section), QString::fromLatin1(r.key)), QString::fromLatin1(r.expected));
    }

    ASSERT_TRUE(ini.writeBool(QStringLiteral("POS"), QStringLiteral("OT2"), true));
    ASSERT_TRUE(ini.writeString(QStringLiteral("POS"), QStringLiteral("logo"), QStringLiteral("b.png")));
    ASSERT_TRUE(ini.writeInt(QStringLiteral("POS"), QStringLiteral("num2"), 10));
    EXPECT_EQ(get(), QByteArray("[Login]\r\nDATAPORT=9000\r\n[pos]\r\not2=1\r\nLOGO=b.png\r\nNUM2 = 10\r\n"));
    EXPECT_EQ(ini.sectionKeys(QStringLiteral("POS")),
              QStringList({QStringLiteral("ot2"), QStringLiteral("LOGO"), QStringLiteral("NUM2")}));
}

TEST_F(IniFileTest, Utf8FileWithByteOrderMarkStaysUtf8)
{
    const QByteArray bom("\xEF\xBB\xBF");
    put(bom + QString::fromUtf8("[POS]\r\nSTR1=欢迎您\r\n; 注释\r\n").toUtf8());
    IniFile ini(file());
    EXPECT_TRUE(ini.isUtf8());
    EXPECT_EQ(ini.readString(QStringLiteral("POS"), QStringLiteral("STR1")), QStringLiteral("欢迎您"));

    ASSERT_TRUE(ini.writeString(QStringLiteral("POS"), QStringLiteral("CKNAME"), QStringLiteral("一号店")));
    EXPECT_EQ(get(), bom + QString::fromUtf8("[POS]\r\nSTR1=欢迎您\r\nCKNAME=一号店\r\n; 注释\r\n").toUtf8());
}

TEST_F(IniFileTest, MissingFileGivesDefaultsAndTheFirstWriteCreatesAGbkFile)
{
    IniFile ini(file(QStringLiteral("absent.ini")));
    EXPECT_EQ(ini.readString(QStringLiteral("POS"), QStringLiteral("STR1"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_TRUE(ini.readBool(QStringLiteral("POS"), QStringLiteral("B"), true));
    EXPECT_EQ(ini.readColor(QStringLiteral("POS"), QStringLiteral("C"), 0xC08080u), 0xC08080u);
    EXPECT_FALSE(ini.hasSection(QStringLiteral("POS")));

    ASSERT_TRUE(ini.writeString(QStringLiteral("POS"), QStringLiteral("CKNAME"), QStringLiteral("一号店")));
    EXPECT_EQ(get(QStringLiteral("absent.ini")), gbk("[POS]\r\nCKNAME=一号店\r\n"));
}

TEST_F(IniFileTest, TypedReadsFallBackToTheDefaultOnBadText)
{
    put("[T]\r\n"
        "abc=abc\r\nblank= 42 \r\nplus=+5\r\nmixed=12abc\r\nhuge=99999999999\r\nempty=\r\n"
        "t=TRUE\r\nf=false\r\nzero=0\r\ntwo=2\r\nyes=yes\r\n"
        "pt=0.3\r\ncomma=0,3\r\nnan=nan\r\n"
        "quoted=\"  x \"\r\n");
    IniFile ini(file());
    const QString t = QStringLiteral("T");
    struct IntCase {
        const char *key;
        int expected;
    };
    for (const IntCase &c : {IntCase{"abc", -1}, IntCase{"blank", 42}, IntCase{"plus", 5},
                             IntCase{"mixed", -1}, IntCase{"huge", -1}, IntCase{"empty", -1}, IntCase{"none", -1},
                             IntCase{"pt", -1}}) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ini.readInt(t, QString::fromLatin1(c.key), -1), c.expected);
    }
    struct BoolCase {
        const char *key;
        bool def;
        bool expected;
    };
    for (const BoolCase &c : {BoolCase{"t", false, true}, BoolCase{"f", true, false},
                              BoolCase{"zero", true, false}, BoolCase{"two", false, false},
                              BoolCase{"yes", false, false}, BoolCase{"yes", true, true},
                              BoolCase{"empty", true, true}}) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ini.readBool(t, QString::fromLatin1(c.key), c.def), c.expected);
    }
    EXPECT_DOUBLE_EQ(ini.readFloat(t, QStringLiteral("pt"), 9), 0.3);
    EXPECT_DOUBLE_EQ(ini.readFloat(t, QStringLiteral("comma"), 9), 9);
    EXPECT_DOUBLE_EQ(ini.readFloat(t, QStringLiteral("nan"), 9), 9);
    EXPECT_EQ(ini.readString(t, QStringLiteral("quoted")), QStringLiteral("  x "));
    EXPECT_EQ(ini.readString(t, QStringLiteral("empty"), QStringLiteral("d")), QString());
}

TEST(IniFileColor, ParsesHexDecimalAndNames)
{
    struct Case {
        const char *text;
        bool ok;
        quint32 value;
    };
    const Case cases[] = {
        {"$00d9b3b3", true, 0xD9B3B3}, {" $FF ", true, 0xFF},         {"clRed", true, 0x0000FF},
        {"CLBLUE", true, 0xFF0000},    {"clBtnFace", true, 0xF0F0F0}, {"8421504", true, 0x808080},
        {"$1FFFFFFF", false, 0},       {"$", false, 0},               {"$123456789", false, 0},
        {"$00GG0000", false, 0},       {"clPink", false, 0},          {"-1", false, 0},
        {"", false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        quint32 v = 0x123456;
        EXPECT_EQ(IniFile::parseColor(QString::fromLatin1(c.text), &v), c.ok);
        EXPECT_EQ(v, c.ok ? c.value : 0x123456u);
    }
}

TEST_F(IniFileTest, TwoOpenFilesDoNotUndoEachOthersWrites)
{
    put("[POS]\r\n");
    IniFile first(file());
    IniFile second(file());
    ASSERT_TRUE(first.writeInt(QStringLiteral("POS"), QStringLiteral("POSNOID"), 10000005));
    ASSERT_TRUE(second.writeString(QStringLiteral("POS"), QStringLiteral("CKNAME"), QStringLiteral("A")));
    const IniFile again(file());
    EXPECT_EQ(again.readInt(QStringLiteral("POS"), QStringLiteral("POSNOID"), 0), 10000005);
    EXPECT_EQ(again.readString(QStringLiteral("POS"), QStringLiteral("CKNAME")), QStringLiteral("A"));
}

TEST_F(IniFileTest, WriteIntoAnUnwritablePlaceFailsAndLeavesNothingBehind)
{
    // A parent that is a regular file stops the write even for root, alone or in a batch.
    put("not a folder", QStringLiteral("plain"));
    const QString path = file(QStringLiteral("plain")) + QStringLiteral("/VOREL.DLL");
    IniFile ini(path);
    EXPECT_FALSE(ini.writeString(QStringLiteral("POS"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_EQ(ini.readString(QStringLiteral("POS"), QStringLiteral("k"), QStringLiteral("d")), QStringLiteral("d"));
    {
        IniFile::Batch batch(ini);
        ini.writeInt(QStringLiteral("POS"), QStringLiteral("cmb6"), 80);
        EXPECT_FALSE(batch.commit());
    }
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral("plain")}));
    EXPECT_EQ(get(QStringLiteral("plain")), QByteArray("not a folder"));
}

TEST_F(IniFileTest, AnUnreadableFileIsNotOverwritten)
{
    // A folder under the file's name: it exists, but cannot be read as a file.
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("VOREL.DLL")));
    IniFile ini(file());
    EXPECT_FALSE(ini.hasSection(QStringLiteral("POS")));
    EXPECT_FALSE(ini.writeInt(QStringLiteral("POS"), QStringLiteral("k"), 1));
    EXPECT_TRUE(QFileInfo(file()).isDir());
}

// A batch of writes lands as one save: nothing reaches the file before the commit, all of
// it after, and a second handle on the file sees the whole batch.
TEST_F(IniFileTest, BatchSavesOnceAtCommit)
{
    IniFile ini(file());
    {
        IniFile::Batch batch(ini);
        ASSERT_TRUE(ini.writeString(QStringLiteral("POS"), QStringLiteral("cmb1"), QStringLiteral("COM2")));
        ASSERT_TRUE(ini.writeInt(QStringLiteral("POS"), QStringLiteral("cmb6"), 80));
        EXPECT_FALSE(QFile::exists(file()));
        EXPECT_TRUE(batch.commit());
    }
    const IniFile other(file());
    EXPECT_EQ(other.readString(QStringLiteral("pos"), QStringLiteral("CMB1")), QStringLiteral("COM2"));
    EXPECT_EQ(other.readInt(QStringLiteral("pos"), QStringLiteral("cmb6"), 0), 80);
}
