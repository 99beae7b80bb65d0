#include "core/text.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

using namespace vorel;

namespace {

QString u8(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

TEST(TextGbk, LengthAgreesWithEncodedBytesAcrossTheBasicPlane)
{
    // Widths come from a table; the bytes come from the codec. Compare them block by block
    // over every character that is not a surrogate.
    for (char32_t block = 0; block < 0x10000; block += 0x100) {
        QString chars;
        for (char32_t u = block; u < block + 0x100; ++u)
            if (!QChar::isSurrogate(u))
                chars += QChar(static_cast<char16_t>(u));
        ASSERT_EQ(gbkLength(chars), toGbk(chars).size()) << "block " << std::hex << quint32(block);
    }
}

TEST(TextGbk, EncodesKnownCodesAndChineseTextSurvivesTheRoundTrip)
{
    EXPECT_EQ(toGbk(u8("T恤")), QByteArray("T\xD0\xF4"));
    EXPECT_EQ(toGbk(u8("€5")), QByteArray("\x80" "5"));
    EXPECT_EQ(fromGbk(QByteArray("\xCA\xD5\xD2\xF8")), u8("收银"));
    for (const char *t : {"纯棉T恤 XL码 ￥128.00", "齄亍丂"}) {
        bool replaced = true;
        const QByteArray bytes = toGbk(u8(t), &replaced);
        EXPECT_FALSE(replaced) << t;
        EXPECT_EQ(fromGbk(bytes), u8(t)) << t;
    }
}

TEST(TextGbk, UnencodableCharactersBecomeQuestionMarks)
{
    const struct {
        QString text;
        QByteArray bytes;
    } cases[] = {
        {u8("A😀B"), "A?B"}, {u8("红•裙"), "\xBA\xEC?\xC8\xB9"},
        {QStringLiteral("A") + QChar(0xD83D), "A?"},          // lone high surrogate at the end
        {QString(QChar(0xDC00)) + QStringLiteral("b"), "?b"}, // lone low surrogate
        // invisible characters the codec itself would drop without a trace
        {QStringLiteral("A") + QChar(0x00AD) + QStringLiteral("B"), "A?B"}, // soft hyphen
        {u8("红") + QChar(0x200D), "\xBA\xEC?"},                            // zero-width joiner
        {u8("❤️"), "??"}, // heart and variation selector
    };
    for (const auto &c : cases) {
        bool replaced = false;
        const QByteArray bytes = toGbk(c.text, &replaced);
        EXPECT_EQ(bytes, c.bytes) << c.text.toStdString();
        EXPECT_TRUE(replaced) << c.text.toStdString();
        EXPECT_EQ(gbkLength(c.text), bytes.size()) << c.text.toStdString();
    }
}

TEST(TextGbk, BrokenBytesDecodeAsReplacementCharacters)
{
    const QString replacement(QChar::ReplacementCharacter);
    EXPECT_EQ(fromGbk(QByteArray("AB\xB7")), QStringLiteral("AB") + replacement);
    EXPECT_EQ(fromGbk(QByteArray("A\x81\x20" "B")), QStringLiteral("A") + replacement + " B");
    EXPECT_EQ(fromGbk(QByteArray()), QString());
}

TEST(TextGbkCut, CutsOnCharacterBoundaries)
{
    const struct {
        const char *text;
        int n;
        const char *kept;
        bool split;
    } cases[] = {
        {"ABCDEFGHIJKLM", 10, "ABCDEFGHIJ", false},
        {"纯棉T恤衫长袖", 10, "纯棉T恤衫", true}, // byte 10 starts 长
        {"纯棉T恤衫长袖", 11, "纯棉T恤衫长", false}, {"纯棉T恤衫长袖", 6, "纯棉T", true}, {"A服装", 2, "A", true},
        {"服装", 1, "", true}, {"服装", 0, "", false}, {"服装", -3, "", false}, {"服装", 4, "服装", false},
        {"A😀服", 2, "A😀", false}, // the emoji prints as one byte and stays whole
        {"A😀服", 3, "A😀", true},
    };
    for (const auto &c : cases) {
        const GbkCut cut = gbkCutBytes(u8(c.text), c.n);
        EXPECT_EQ(cut.text, u8(c.kept)) << c.text << " n=" << c.n;
        EXPECT_EQ(cut.splitChar, c.split) << c.text << " n=" << c.n;
        EXPECT_EQ(gbkLeft(u8(c.text), c.n), u8(c.kept)) << c.text << " n=" << c.n;
    }
}

TEST(TextGbkCut, PaddingGivesExactlyTheWidth)
{
    const struct {
        const char *text;
        int n;
        const char *right;
        const char *left;
    } cases[] = {
        {"服装", 6, "服装  ", "  服装"}, {"ABCDEF", 4, "ABCD", "ABCD"},
        {"纯棉T恤衫长袖", 10, "纯棉T恤衫 ", " 纯棉T恤衫"}, {"服", 1, " ", " "}, {"ABC", 0, "", ""},
        {"ABC", -1, "", ""},
    };
    for (const auto &c : cases) {
        const QString right = gbkPadRight(u8(c.text), c.n);
        const QString left = gbkPadLeft(u8(c.text), c.n);
        EXPECT_EQ(right, u8(c.right)) << c.text << " n=" << c.n;
        EXPECT_EQ(left, u8(c.left)) << c.text << " n=" << c.n;
        EXPECT_EQ(gbkLength(right), std::max(c.n, 0)) << c.text << " n=" << c.n;
        EXPECT_EQ(gbkLength(left), std::max(c.n, 0)) << c.text << " n=" << c.n;
    }
}

TEST(TextGetno, PiecesCountFromOne)
{
    const struct {
        const char *text;
        const char *sep;
        int n;
        const char *piece;
    } cases[] = {
        {"A123.XL", ".", 2, "XL"}, {"A123.XL", ".", 3, ""}, {"A123.", ".", 2, ""},
        {"A123", ".", 2, ""}, {"1,,3", ",", 2, ""}, {",b", ",", 1, ""}, {"x||y||z", "||", 3, "z"},
        {"红色,蓝色", ",", 2, "蓝色"}, {"", ",", 1, ""}, {"a,b", ",", 0, ""}, {"a,b", "", 1, "a,b"},
        {"a,b", "", 2, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(getno(u8(c.text), u8(c.sep), c.n), u8(c.piece))
            << c.text << " sep=" << c.sep << " n=" << c.n;
}

TEST(TextMd5, DigestsOfGbkBytesInLowerCase)
{
    // Expected digests computed outside the program (md5sum, iconv for the GBK bytes).
    const struct {
        const char *text;
        const char *md5;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"}, {"admin", "21232f297a57a5a743894a0e4a801fc3"},
        {"服装", "50d462c7705993506697426459589031"},
        {"A😀B", "439472deb5e163696f83a9903770d363"}, // digest of "A?B"
    };
    for (const auto &c : cases)
        EXPECT_EQ(getMD5(u8(c.text)), QString::fromLatin1(c.md5)) << c.text;
}

TEST(TextPinyin, InitialsOfWordsAndLevelTwoCharacters)
{
    const struct {
        const char *text;
        const char *initials;
    } cases[] = {
        {"服装", "FZ"}, {"T恤A1", "TXA1"}, {"abc", "ABC"}, {"红-色 L码!", "HSLM"}, {"羽绒服（男）", "YRFN"},
        {"", ""}, {"😀", ""},
        {"１２Ａ", ""}, // full-width letters and digits are not ASCII
        {"亍", "C"},   // first of level 2
        {"齄", "Z"},   // last of level 2
        {"瑜伽裤", "YJK"}, {"蹒跚", "PS"},
        {"张喆", "Z"},  // 喆 is a GBK extension character: no letter
        {"丂A", "A"},   // so is 丂
    };
    for (const auto &c : cases)
        EXPECT_EQ(getPY(u8(c.text)), QString::fromLatin1(c.initials)) << c.text;
}

TEST(TextPinyin, LevelOneBoundaries)
{
    // The last character of each initial followed by the first of the next one, from
    // 啊 (the first of level 1) to 座 (its last).
    const QString text = u8("啊澳芭怖擦错搭堕蛾贰发咐噶过哈祸击骏喀阔垃络妈穆拿诺哦沤啪瀑"
                            "期群然弱撒所塌唾挖误昔迅压孕匝坐座");
    EXPECT_EQ(getPY(text), QStringLiteral("AABBCCDDEEFFGGHHJJKKLLMMNNOOPPQQRRSSTTWWXXYYZZZ"));
}

TEST(TextSql, QuotesAndLiterals)
{
    const struct {
        const char *text;
        bool hasQuote;
        const char *literal;
    } cases[] = {
        {"abc", false, "'abc'"}, {"", false, "''"}, {"O'Neil", true, "'O''Neil'"},
        {"红'色", true, "'红''色'"}, {"‘全角’", false, "'‘全角’'"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(hasSingleQuote(u8(c.text)), c.hasQuote) << c.text;
        EXPECT_EQ(sqlQuote(u8(c.text)), u8(c.literal)) << c.text;
    }
}
