#include "core/text.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSysInfo>
#include <QTextCodec>
#include <QUuid>

#include <algorithm>
#include <array>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <vector>

namespace vorel {

namespace {

constexpr quint16 kNoGbk = 0xFFFF; // not a GBK code: its trail byte would be 0xFF

QTextCodec *gbkCodec()
{
    static QTextCodec *const codec = QTextCodec::codecForName("GBK");
    if (!codec)
        throw std::runtime_error("the GBK code page is not available");
    return codec;
}

// GBK code of every character of the basic plane, asked once of the codec: one byte
// (below 0x100) or lead byte * 256 + trail byte. Sizing, cutting and toGbk all go through
// this table, so widths always agree with the bytes written.
const std::vector<quint16> &gbkCodes()
{
    static const std::vector<quint16> codes = [] {
        std::vector<quint16> table(0x10000, kNoGbk);
        // One encoder for the whole sweep: opening a converter per character costs
        // several times more.
        const std::unique_ptr<QTextEncoder> encoder(gbkCodec()->makeEncoder());
        for (char32_t u = 0; u < 0x10000; ++u) {
            if (QChar::isSurrogate(u))
                continue;
            const QChar ch(static_cast<char16_t>(u));
            const QByteArray bytes = encoder->fromUnicode(QStringView(&ch, 1));
            // The codec answers a character it lacks with its substitute "?" or, for
            // invisible ones, with nothing at all.
            if (bytes.size() == 1 && (bytes[0] != '?' || u == '?'))
                table[u] = static_cast<uchar>(bytes[0]);
            else if (bytes.size() == 2)
                table[u] = static_cast<quint16>(static_cast<uchar>(bytes[0]) << 8
                                                | static_cast<uchar>(bytes[1]));
        }
        return table;
    }();
    return codes;
}

struct GbkChar {
    qsizetype units; // QChars taken by the character (2 for a surrogate pair)
    quint16 code;    // kNoGbk when the code page lacks it
};

GbkChar gbkCharAt(const QString &text, qsizetype i)
{
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        return {2, kNoGbk}; // GBK has nothing beyond the basic plane
    if (c.isSurrogate())
        return {1, kNoGbk};
    return {1, gbkCodes()[c.unicode()]};
}

int byteWidth(quint16 code)
{
    return code != kNoGbk && code > 0xFF ? 2 : 1;
}

bool isGbkLead(uchar b)
{
    return b >= 0x81 && b <= 0xFE;
}

bool isGbkTrail(uchar b)
{
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

// True when the data ends in a lead byte whose trail byte is missing.
bool endsInsideChar(const QByteArray &bytes)
{
    qsizetype i = 0;
    const qsizetype n = bytes.size();
    while (i < n) {
        if (!isGbkLead(static_cast<uchar>(bytes[i]))) {
            ++i;
            continue;
        }
        if (i + 1 == n)
            return true;
        i += isGbkTrail(static_cast<uchar>(bytes[i + 1])) ? 2 : 1;
    }
    return false;
}

struct Prefix {
    qsizetype units = 0; // QChars kept
    int bytes = 0;       // their GBK bytes
    bool splitChar = false;
};

Prefix gbkPrefix(const QString &text, int n)
{
    Prefix p;
    if (n <= 0)
        return p;
    while (p.units < text.size()) {
        const GbkChar c = gbkCharAt(text, p.units);
        const int w = byteWidth(c.code);
        if (p.bytes + w > n) {
            p.splitChar = p.bytes < n;
            break;
        }
        p.bytes += w;
        p.units += c.units;
    }
    return p;
}

// First code of each initial in GB2312 level 1, which is ordered by pinyin. No syllable
// starts with I, U or V.
struct PinyinStart {
    quint16 code;
    char letter;
};
constexpr std::array<PinyinStart, 23> kLevel1Starts{{
    {0xB0A1, 'A'}, {0xB0C5, 'B'}, {0xB2C1, 'C'}, {0xB4EE, 'D'}, {0xB6EA, 'E'}, {0xB7A2, 'F'},
    {0xB8C1, 'G'}, {0xB9FE, 'H'}, {0xBBF7, 'J'}, {0xBFA6, 'K'}, {0xC0AC, 'L'}, {0xC2E8, 'M'},
    {0xC4C3, 'N'}, {0xC5B6, 'O'}, {0xC5BE, 'P'}, {0xC6DA, 'Q'}, {0xC8BB, 'R'}, {0xC8F6, 'S'},
    {0xCBFA, 'T'}, {0xCDDA, 'W'}, {0xCEF4, 'X'}, {0xD1B9, 'Y'}, {0xD4D1, 'Z'},
}};
constexpr quint16 kLevel1Last = 0xD7F9;

// GB2312 level 2 is ordered by radical, so it needs a letter per character: rows 0xD8 to
// 0xF7, 94 cells each (trail bytes 0xA1 to 0xFE). Taken from the common Mandarin reading
// of each character in the Unicode Han database; 彷, 蹒 and 呒 follow their everyday
// readings (pang, pan, m).
constexpr char kLevel2Initials[] =
    "CJWGNSPGCGNEGYPBTYYZDXYKYGTZJNMJQMBSGZSCYJSYYFPGKBZGYDYWJKGKLJSWKPJQHYJWRDZLSGMRYPYWWCCKZNKYYG"
    "TTNJJEYKKZYTCJNMCYLQLYPYQFQRPZSLWBTGKJFYXJWZLTBNCXJJJJTXDTTSQZYCDXXHGCKBPHFFSSTYBGMXLPBYLLBHLX"
    "SMZMYJHSOJNGHDZQYKLGJHSGQZHXQGKEZZWYSCSCJXYEYXADZPMDSSMZJZQJYZCJJFWQJBDZBXGZNZCPWHKXHQKMWFBPBY"
    "DTJZZKQHYLYGXFPTYJYYZPSZLFCHMQSHGMXXSXJYQDCSBBQBEFSJYHWWGZKPYLQBGLDLCCTNMAYDDKSSNGYCSGXLYZAYPN"
    "PTSDKDYLHGYMYLCXPYCJNDQJWQQXFYYFJLEJPZRXCCQWQQSBZKYMGPLBMJRQCFLNYMYQMSQTRBCJTHZTQFRXQHXMJJCJLX"
    "XGJMSHZKBSWYEMYLTXFSYDSGLYCJQXSJNQBSCTYHBFTDCYJDJWYGHQFRXWCKQKXEBPTLPXJZSRMEBWHJLBJSLYYSMDXLCL"
    "QKXLHXJRZJMFQHXHWYWSBHTRXXGLHQHFNMGYKLDYXZPYLGGSMTCFPAJJZYLJTYANJGBJPLQGDZYQYAXBKYSECJSZNSLYZH"
    "ZXLZCGHPXZHZNYTDSBCJKDLZYYFMYDLEBBGQYZKGGLDNDNYSKJSHDLYXBCGHXYPKDJMMZNGMMCLGWZSZXZJFZNMLZZTHCS"
    "YDBDLLSCDDNLKJYKJSYCJLKOHQASDKNHCSGANHDAASHTCPLCPQYBSDMPJLPCJOQLCDHJJYSPRCHNWJNLHLYYQYHWZPTCZG"
    "WWMZFFJQQQQYXACLBHKDJXDGMMYDJXZLLSYGXGKJRYWZWYCLZMSSJZLDBYDCPCXYHLXCHYZJQSQQAGMNYXPFRKSSBJLYXY"
    "SYGLNSCMHCWWMNZJJLXXHCHSYZSTTXRYCYXBYHCSMXJSZNPWGPXXTAYBGAJCXLYXDCCWZOCWKCCSBNHCPDYZNFCYYTYCKX"
    "KYBSQKKYTQQXFCWCHCYKELZQBSQYJQCCLMTHSYWHMKTLKJLYCXWHEQQHTQHQPQSQSCFYMMDMGBWHWLGSLLYSTLMLXPTHMJ"
    "HWLJZYHZJXHTXJLHXRSWLWZJCBXMHZQXSDZPMGFCSGLSXYMJSHXPJXWMYQKSMYPLRTHBXFTPMHYXLCHLHLZYLXGSSSSTCL"
    "SLDCLRPBHZHXYYFHBMGDMYCNQQWLQHJJCYWJZYEJJDHPBLQXTQKWHLCHQXAGTLXLJXMSLJHTZKZJECXJCJNMFBYCSFYWYB"
    "JZGNYSDZSQYRSLJPCLPWXSDWEJBJCBCNAYTWGMPAPCLYQPCLZXSBNMSGGFNZJJBZSFZYNDXHPLQKZCZWALSBCCJXSYZGWK"
    "YPSGXFZFCDKHJGXTLQFSGDSLQWZKXTMHSBGZMJZRGLYJBPMLMSXLZJQQHZYJCZYDJWBWJKLDDPMJEGXYHYLXHLQYQHKYCW"
    "CJMYYXNATJHYCCXZPCQLBZWWYTWBQCMLPMYRJCCCXFPZNZZLJPLXXYZTZLGDLDCKLYRZZGQTGJHHGJLJAXFGFJZSLCFDQZ"
    "LCLGJDJZSNZLLJPJQDCCLCJXMYZFTSXGCGSBRZXJQQCTZHGYQTJQQLZXJYLYLBCYAMCSTYLPDJBYREGKLZYZHLYSZQLZNW"
    "CZCLLWJQJJJKDGJZOLBBZPPGLGHTGZXYJHZMYCNQCYCYHBHGXKAMTXYXNBSKYZZGJZLQJDFCJXDYGJQJJPMGWGJJJPKQSB"
    "GBMMCJSSCLPQPDXCDYYKYPCJDDYYGYWRHJRTGZNYQLDKLJSZZGZQZJGDYKSHPZMTLCPWNJYFYZDJCNMWESCYGLBTZCGMSS"
    "LLYXYSXSBSJSBBSGGHFJLYPMZJNLYYWDQSHZXTYYWHMCYHYWDBXBTLMSYYYFSXJCBDXXLHJHFSSXZQHFZMZCZTQCXZXRTT"
    "DJHNNYZQQMTQDMMGYYDXMJGDHCDYZBFFALLZTDLTFXMXQZDNGWQDBDCDJDXBZGSQQDDJCMBKZFFXMKDMDSYYSZCMLJDSYN"
    "SPRSKMKMPCKLGTBQTFZSWTFGGLYPLLJZHGJJGYPZLTCSMCNBTJBQFKTHBYZGKPBBYMTDSSXTBNPDKLEYCJNYDDYKZDDHQH"
    "SDZSCTARLLTKZLGECLLKJLQJAQNBDKKGHPJTZQKSECSHALQFMMGJNLYJBBTMLYZXDCJPLDLPCQDHZYCBZSCZBZMSLJFLKR"
    "ZJSNFRGJHXPDHYJYBZGDLQCSEZGXLBLGYXTWMABCHECMWYJYZLLJJYHLGNDJLSLYGKDZPZXJYYZLWCXSZFGWYYDLYHCLJS"
    "CMBJHBLYZLYCBLYDPDQYSXQZBYTDKYXJYYCNRJMPDQGKLCLJBCTBJDDBBLBLCZQRPPXJCJLZCSHLTOLJNMDDDLNGKATHQH"
    "JHYKHEZNMSHRPHQQJCHGMFPRXHJGDYCHGHLYRZQLCYQJNZSQTKQJYMSZSWLCFQQQXYFGGYPTQWLMCRNFKKFSYYLQBMQAMM"
    "MYXCTPSHCPTXXZZSMPHPSHMCLMLDQFYQXSZYJDJJZZHQPDSZGLSTJBCKBXYQZYSGPSXQZQZRQTBDKYXZKHHGFLBCSMDLDG"
    "DZDBLZYYCXNNCSYBZBFGLZZXSWMSCCMQNJQSBDQSJTXXMBLTXZCLZSHZCXRQJGJYLXZFJPHYMZQQYDFQJJLZZNZJSDGZYG"
    "CTXMZYSCTLKPHTXHTLBJXJLXSCDQXCBBTJFQZFSLTJBTKQBXXJJLJCHCZDBZJDCZJDCPRNPQCJPFCZLCLZXZDMXMPHJSGZ"
    "GSZZQJYLWTJPFSYAXMCJBTZKYCWMYTZSJJLQCQLWZMALBXYFBPNLSFHTGJWEJJXXGLLJSTGSHJQLZFKCGNNDSZFDEQFHBS"
    "AQTGYLBXMMYGSZLDYDQMJJRGBJTKGDHGKBLQKBDMBYLXWCXYTTYBKMRTJZXQJBHLMHMJJZMQASLDCYXYQDLQCAFYWYXQHZ";
constexpr int kLevel2Rows = 0xF7 - 0xD8 + 1;
static_assert(sizeof(kLevel2Initials) == kLevel2Rows * 94 + 1);

char pinyinInitial(quint16 code)
{
    const int lead = code >> 8;
    const int trail = code & 0xFF;
    if (trail < 0xA1 || trail > 0xFE)
        return 0;
    if (code >= kLevel1Starts.front().code && code <= kLevel1Last) {
        const auto next = std::upper_bound(
            kLevel1Starts.begin(), kLevel1Starts.end(), code,
            [](quint16 c, const PinyinStart &s) { return c < s.code; });
        return std::prev(next)->letter;
    }
    if (lead >= 0xD8 && lead <= 0xF7)
        return kLevel2Initials[(lead - 0xD8) * 94 + (trail - 0xA1)];
    return 0;
}

} // namespace

QByteArray toGbk(const QString &text)
{
    return toGbk(text, nullptr);
}

QByteArray toGbk(const QString &text, bool *replaced)
{
    // Characters the code page lacks become "?" here rather than in the codec, which drops
    // some of them without a trace (a soft hyphen, a joiner, a variation selector, a lone
    // surrogate at the end).
    QString clean;
    bool anyReplaced = false;
    for (qsizetype i = 0; i < text.size();) {
        const GbkChar c = gbkCharAt(text, i);
        if (c.code == kNoGbk) {
            if (!anyReplaced) {
                clean = text.left(i);
                anyReplaced = true;
            }
            clean += QLatin1Char('?');
        } else if (anyReplaced) {
            clean += text.at(i);
        }
        i += c.units;
    }
    if (replaced)
        *replaced = anyReplaced;
    const QString &source = anyReplaced ? clean : text;
    return gbkCodec()->fromUnicode(source);
}

QString fromGbk(const QByteArray &bytes)
{
    QTextCodec *codec = gbkCodec();
    if (!endsInsideChar(bytes))
        return codec->toUnicode(bytes);
    QString text = codec->toUnicode(bytes.constData(), static_cast<int>(bytes.size() - 1));
    text += QChar::ReplacementCharacter;
    return text;
}

int gbkLength(const QString &text)
{
    int bytes = 0;
    for (qsizetype i = 0; i < text.size();) {
        const GbkChar c = gbkCharAt(text, i);
        bytes += byteWidth(c.code);
        i += c.units;
    }
    return bytes;
}

QString gbkLeft(const QString &text, int n)
{
    return text.left(gbkPrefix(text, n).units);
}

GbkCut gbkCutBytes(const QString &text, int n)
{
    const Prefix p = gbkPrefix(text, n);
    return {text.left(p.units), p.splitChar};
}

QString gbkPadRight(const QString &text, int n)
{
    if (n <= 0)
        return {};
    const Prefix p = gbkPrefix(text, n);
    return text.left(p.units) + QString(n - p.bytes, QLatin1Char(' '));
}

QString gbkPadLeft(const QString &text, int n)
{
    if (n <= 0)
        return {};
    const Prefix p = gbkPrefix(text, n);
    return QString(n - p.bytes, QLatin1Char(' ')) + text.left(p.units);
}

QString getno(const QString &text, const QString &sep, int n)
{
    if (n < 1)
        return {};
    if (sep.isEmpty())
        return n == 1 ? text : QString();
    qsizetype start = 0;
    for (int piece = 1; piece < n; ++piece) {
        const qsizetype at = text.indexOf(sep, start);
        if (at < 0)
            return {};
        start = at + sep.size();
    }
    const qsizetype end = text.indexOf(sep, start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

QString boltos(bool flag)
{
    return flag ? QStringLiteral("1") : QStringLiteral("0");
}

QString getMD5(const QString &text)
{
    const QByteArray digest = QCryptographicHash::hash(toGbk(text), QCryptographicHash::Md5);
    return QString::fromLatin1(digest.toHex());
}

QString getPY(const QString &text)
{
    QString initials;
    for (qsizetype i = 0; i < text.size();) {
        const GbkChar c = gbkCharAt(text, i);
        i += c.units;
        if (c.code < 0x80) {
            const QChar ascii(c.code);
            if (ascii.isLetterOrNumber())
                initials += ascii.toUpper();
        } else if (c.code != kNoGbk && c.code > 0xFF) {
            if (const char letter = pinyinInitial(c.code))
                initials += QLatin1Char(letter);
        }
    }
    return initials;
}

QString getGuid()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

QString getLocalName()
{
    return QSysInfo::machineHostName();
}

bool hasSingleQuote(const QString &text)
{
    return text.contains(QLatin1Char('\''));
}

QString sqlQuote(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

bool readGbkFile(const QString &path, QString *out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *out = fromGbk(file.readAll());
    return true;
}

} // namespace vorel
