#include "printing/receipt.h"

#include <QLocale>
#include <QRegularExpression>
#include <array>
#include <utility>

#include "core/money.h"
#include "core/text.h"

namespace vorel {

namespace {

const QString CrLf = QStringLiteral("\r\n");

// Blanks and control characters count as space at the ends of a text, as the templates
// were written for.
bool isSpace(QChar c) { return c.unicode() <= 0x20; }

QString trimLeft(const QString &s)
{
    qsizetype i = 0;
    while (i < s.size() && isSpace(s[i]))
        ++i;
    return s.mid(i);
}

QString trimRight(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && isSpace(s[n - 1]))
        --n;
    return s.left(n);
}

QString trim(const QString &s) { return trimLeft(trimRight(s)); }

// Every piece between line breaks, an empty last piece included.
QStringList splitLines(const QString &text)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    return text.split(breaks);
}

// A whole text taken as the list's content: a final line break ends the last line
// instead of starting an empty one.
QStringList textLines(const QString &text)
{
    if (text.isEmpty())
        return {};
    QStringList lines = splitLines(text);
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

double number(const QString &text)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(trim(text), &ok);
    if (!ok)
        throw ReceiptNumberError(text);
    return v;
}

QString lineValue(int name, const ReceiptLine &line, int n, int places)
{
    const QString amount = QStringLiteral("%8.%1F").arg(places);
    switch (name) {
    case 0: return QString::number(n);
    case 1: return line.tm;
    case 2: return line.wlId;
    case 3: return line.wlName;
    case 4: return line.dwName;
    case 5: return line.wlGg;
    case 6: return QString::number(line.sl);
    case 7: return formatPattern(amount, line.sj);
    case 8: return formatPattern(amount, line.smoney);
    case 9: return QString::number(line.zk, 'g', 15);
    default: return line.note;
    }
}

// Checked in this order; the first name a token contains wins.
const std::array<QString, 11> LineNames = {
    QStringLiteral("序"),   QStringLiteral("条码"), QStringLiteral("款号"), QStringLiteral("品名"),
    QStringLiteral("颜色"), QStringLiteral("尺码"), QStringLiteral("数量"), QStringLiteral("单价"),
    QStringLiteral("金额"), QStringLiteral("折扣"), QStringLiteral("备注"),
};

QString fillToken(const QString &token, const ReceiptLine &line, int n, int places)
{
    for (int i = 0; i < int(LineNames.size()); ++i) {
        const qsizetype at = token.indexOf(LineNames[i]);
        if (at >= 0) {
            QString filled = token;
            return filled.replace(at, LineNames[i].size(), lineValue(i, line, n, places));
        }
    }
    return token;
}

QString heading(const ReceiptRequest &r)
{
    QString s = r.heading;
    s.replace(QStringLiteral("[单号]"), QStringLiteral("单号:") + r.slipNumber);
    s.replace(QStringLiteral("[机号]"), QStringLiteral("机号:") + r.terminal);
    s.replace(QStringLiteral("[收银]"), QStringLiteral("收银:") + r.cashier);
    s.replace(QStringLiteral("[营业员]"), r.salesperson);
    return s;
}

QString footing(const ReceiptRequest &r, const ReceiptEnvironment &env, qint64 pieces)
{
    const auto money = [](const QString &caption, const QString &text) {
        return caption + formatPattern(QStringLiteral("%9.1F"), number(text));
    };
    const auto points = [](const QString &caption, const QString &text) {
        return caption + formatPattern(QStringLiteral("%5.0F"), number(text));
    };
    const QString accumulated = env.offline || trim(r.accumulatedPoints).isEmpty()
                                    ? QStringLiteral("累计积分:*****")
                                    : points(QStringLiteral("累计积分:"), r.accumulatedPoints);
    const QString date = trim(r.slipDate).isEmpty() ? env.now.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : r.slipDate;
    const double discount = number(r.discountTotal);

    const std::pair<QString, QString> tokens[] = {
        {QStringLiteral("[营业员]"), r.salesperson},
        {QStringLiteral("[件数]"), QStringLiteral("件数:") + formatPattern(QStringLiteral("%9.0F"), double(pieces))},
        {QStringLiteral("[合计]"), money(QStringLiteral("总额:"), r.due)},
        {QStringLiteral("[抹  零]"), money(QStringLiteral("抹  零:"), r.roundOff)},
        {QStringLiteral("[现金券]"), money(QStringLiteral("现金券:"), r.voucher)},
        {QStringLiteral("[储值卡]"), money(QStringLiteral("储值卡:"), r.storedValue)},
        {QStringLiteral("[银联]"), money(QStringLiteral("银联:"), r.bankCard)},
        {QStringLiteral("[EPS]"), money(QString(), r.bankCard)},
        {QStringLiteral("[现金]"), money(QStringLiteral("现金:"), r.cash)},
        {QStringLiteral("[找零]"), money(QStringLiteral("找零:"), r.change)},
        {QStringLiteral("[会员卡]"), QStringLiteral("会员卡:") + r.memberCard},
        {QStringLiteral("[累计积分]"), accumulated},
        {QStringLiteral("[本单积分]"), points(QStringLiteral("本单积分:"), r.slipPoints)},
        {QStringLiteral("[原价]"), money(QStringLiteral("原  价:"), r.tagTotal)},
        {QStringLiteral("[共优惠]"), QStringLiteral("共优惠:") + formatPattern(QStringLiteral("%9.1F"), 0.0 - discount)},
        {QStringLiteral("[日期]"), QStringLiteral("时间:") + date},
    };
    QString s = r.footing;
    for (const auto &[token, value] : tokens)
        s.replace(token, value);
    return s;
}

} // namespace

ReceiptNumberError::ReceiptNumberError(const QString &text)
    : VorelError(QStringLiteral("\"%1\"不是有效的数字").arg(text),
                 QStringLiteral("\"%1\" is not a number").arg(text).toStdString())
{
}

QString RenderedReceipt::text() const
{
    QString s;
    for (const QString &line : lines)
        s += line + CrLf;
    return s;
}

QString RenderedReceipt::body() const
{
    QString s;
    for (qsizetype i = 1; i < lines.size(); ++i)
        s += lines[i] + CrLf;
    return s;
}

QString fitReceiptToken(const QString &filled, int width)
{
    const bool padRight = trimLeft(filled).size() > trimRight(filled).size();
    const auto pad = [&](const QString &s) { return padRight ? gbkPadRight(s, width) : gbkPadLeft(s, width); };
    if (gbkLength(filled) <= width)
        return pad(filled);
    const QString core = trim(filled);
    if (gbkLength(core) < width)
        return pad(core);
    const GbkCut cut = gbkCutBytes(core, width);
    return cut.splitChar ? cut.text + QLatin1Char('.') : cut.text;
}

QString renderReceiptLine(const QString &lineTemplate, const ReceiptLine &line, int n, int places)
{
    QString out;
    const qsizetype last = lineTemplate.size() - 1;
    qsizetype i = 0;
    while (i < last) {
        if (lineTemplate[i] != QLatin1Char('[')) {
            out += lineTemplate[i++];
            continue;
        }
        const qsizetype close = lineTemplate.indexOf(QLatin1Char(']'), i + 1);
        const QString token = close < 0 ? lineTemplate.mid(i + 1) : lineTemplate.mid(i + 1, close - i - 1);
        out += fitReceiptToken(fillToken(token, line, n, places), gbkLength(token));
        i = close < 0 ? lineTemplate.size() : close + 1;
    }
    return out;
}

RenderedReceipt renderReceipt(const ReceiptRequest &request, const ReceiptEnvironment &env)
{
    RenderedReceipt out;
    if (!request.lines) {
        out.lines = splitLines(request.due);
    } else {
        const int places = request.test && request.decimals > 0 ? request.decimals : env.amountDecimals;
        out.lines = textLines(heading(request));
        qint64 pieces = 0;
        int n = 0;
        for (const ReceiptLine &line : *request.lines) {
            QString text = renderReceiptLine(request.lineTemplate, line, ++n, places);
            // A template ending in a line break leaves its CR behind, which ends the line anyway.
            if (text.endsWith(QLatin1Char('\r')))
                text.chop(1);
            out.lines += splitLines(text);
            pieces += line.sl;
        }
        out.lines += splitLines(footing(request, env, pieces));
    }
    if (request.driver)
        out.title = out.lines.value(0);
    if (request.test && !request.driver)
        out.lines << QString() << QString() << ReceiptRulerCaption << ReceiptRulerTens << ReceiptRulerUnits;
    return out;
}

ReceiptOutput receiptOutput(const ReceiptRequest &request, bool printerEnabled, bool pagesAvailable)
{
    if (request.showOnly)
        return ReceiptOutput::MessageBox;
    if (!request.driver && !request.test)
        return printerEnabled ? ReceiptOutput::Raw : ReceiptOutput::Nothing;
    if (!pagesAvailable || !(printerEnabled || request.test))
        return ReceiptOutput::Nothing;
    if (request.driver)
        return request.test ? ReceiptOutput::DriverPreview : ReceiptOutput::DriverPrint;
    return ReceiptOutput::Preview;
}

} // namespace vorel
