#pragma once
// Receipt text from the three templates of the till: the heading, the line template (once
// per sale line) and the footing. Tokens in square brackets take the slip's values.
//
// Heading tokens: [单号] [机号] [收银] [营业员]. A line token is "[" + name + blanks + "]";
// its width is the GBK byte count between the brackets, blanks included, and the value is
// aligned inside it by where the token keeps more blanks: more at the end puts the value
// on the left, otherwise on the right. A value too long is cut to the width; a cut through
// a two-byte character leaves "." in its last byte. Footing tokens are replaced everywhere
// they stand, amounts with one decimal. Unknown tokens stay as written.
//
// Rendering is pure: the caller passes the clock reading, the decimals setting and the
// offline flag, and decides what happens to the lines (see receiptOutput).

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "core/error.h"

namespace vorel {

// The fields of a sale line a receipt can show.
struct ReceiptLine {
    QString tm;     // 条码
    QString wlId;   // 款号
    QString wlName; // 品名
    QString dwName; // 颜色
    QString wlGg;   // 尺码
    qint32 sl = 0;  // 数量
    double sj = 0.0;     // 单价
    double smoney = 0.0; // 金额
    double zk = 0.0;     // 折扣
    QString note;   // 备注
};

// Everything one receipt is made from, in the order the callers hand it over. Amounts
// and points are texts as the screens show them; a text that is not a number is refused
// with ReceiptNumberError.
struct ReceiptRequest {
    // The sale lines; none means text mode: `due` is printed as it stands.
    std::optional<QList<ReceiptLine>> lines;
    QString due; // amount due, or the text of a text-mode receipt
    QString roundOff;
    QString voucher;
    QString storedValue;
    QString bankCard;
    QString cash;
    QString change;
    QString heading;
    QString footing;
    QString slipNumber;
    QString slipDate; // empty: the time of printing
    QString terminal;
    QString cashier;
    QString salesperson;
    QString printerPort;
    int paperWidth = 0; // mm; 0: the setting
    bool driver = false;
    bool test = false;
    QString lineTemplate;
    bool showOnly = false;
    int titleFontSize = 0; // 0: the setting
    int lineFontSize = 0;  // 0: the setting
    int decimals = 0;      // used by a test print; 0: the setting
    QString memberCard;
    QString accumulatedPoints; // empty: not known, printed as stars
    QString slipPoints;
    QString tagTotal;
    QString discountTotal;
};

// What rendering reads besides the request.
struct ReceiptEnvironment {
    int amountDecimals = 0; // decimals of unit prices and amounts
    bool offline = false;
    QDateTime now;
};

struct RenderedReceipt {
    QStringList lines; // the print list
    QString title;     // the first line, set for driver printing only
    // The lines as one text, every line ended by CR LF: what a raw printer gets.
    QString text() const;
    // The text without its first line: the body under a driver page's title.
    QString body() const;
};

// A number field of a receipt that holds no number; message() is the text for the till,
// what() says it for logs.
class ReceiptNumberError : public VorelError {
public:
    explicit ReceiptNumberError(const QString &text);
};

// Printed after a test receipt without a driver, so the preview shows how many characters
// fit across the paper.
inline const QString ReceiptRulerCaption =
    QStringLiteral("以下为标识小票宽度可打印字符数,【无驱】预览时会出现!");
inline const QString ReceiptRulerTens = QStringLiteral("---------1---------2---------3---------4---------5");
inline const QString ReceiptRulerUnits = QStringLiteral("12345678901234567890123456789012345678901234567890");

RenderedReceipt renderReceipt(const ReceiptRequest &request, const ReceiptEnvironment &env);

// One sale line through the line template (n counts from 1). May hold line breaks.
QString renderReceiptLine(const QString &lineTemplate, const ReceiptLine &line, int n, int places);
// A token's text with its value in place, brought to the token's width in GBK bytes.
QString fitReceiptToken(const QString &filled, int width);

enum class ReceiptOutput {
    Nothing,       // printer off, or no page printing available
    MessageBox,    // show only
    Raw,           // text to the printer port
    DriverPrint,   // a page through the printer driver
    DriverPreview, // the same page, previewed (test print)
    Preview,       // a test print without driver: the whole text previewed
};

// Where a rendered receipt goes. `pagesAvailable`: page printing and preview are set up.
ReceiptOutput receiptOutput(const ReceiptRequest &request, bool printerEnabled, bool pagesAvailable);

} // namespace vorel
