#include "printing/receiptlibrary.h"

#include "core/text.h"

namespace vorel {

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString ShopName = QStringLiteral("沃雷尔服饰专卖店");

QStringList heading(bool wide, const QString &caption)
{
    const int rule = wide ? 40 : 32;
    const int indent = (rule - gbkLength(ShopName)) / 2;
    return {QString(indent, QLatin1Char(' ')) + ShopName, QString(),
            wide ? QStringLiteral("[单号] [收银] [机号]") : QStringLiteral("[单号][收银][机号]"), caption,
            QString(rule, QLatin1Char('-'))};
}

QStringList footing(bool wide)
{
    return {QString(wide ? 40 : 32, QLatin1Char('-')),
            QStringLiteral("[件数]  [合计]"),
            QStringLiteral("  [现金]"),
            QStringLiteral("  [银联]"),
            QStringLiteral("  [找零]"),
            QStringLiteral("   欢迎您光临!请保留好小票!"),
            QStringLiteral("   [日期]"),
            QStringLiteral("   联系电话:0571-8866 2233")};
}

QStringList entry(bool wide, const QString &caption, const QString &line1, const QString &line2)
{
    QStringList lines = heading(wide, caption);
    lines << line1 << line2;
    lines += footing(wide);
    for (QString &line : lines)
        line = gbkPadRight(line, ReceiptLibraryColumns);
    return lines;
}

QList<ReceiptLibraryEntry> build()
{
    const QString narrowTab = QStringLiteral("58MM小票模板");
    const QString wideTab = QStringLiteral("74MM以上小票模板");
    const QString memberTab = QStringLiteral("带会员及积分");

    const QString narrowCaption = gbkPadRight(QStringLiteral("品名/条码"), 19) + QStringLiteral("数量    金额");
    const QString narrow1 = QStringLiteral("[品名                     ][尺码    ]");
    const QString narrow2 = QStringLiteral("[条码               ][数量][   金额 ]");
    const QString wideCaption = gbkPadRight(QStringLiteral("品名/条码"), 19) + QStringLiteral("数量     单价    金额");
    const QString wide1 = QStringLiteral("[品名                        ][颜色    ][尺码]");
    const QString wide2 = QStringLiteral("[条码               ][数量 ][   单价 ][   金额 ]");

    return {
        {narrowTab, entry(false, narrowCaption, narrow1, narrow2)},
        {narrowTab, entry(false, gbkPadRight(QStringLiteral("品名"), 20) + QStringLiteral("数量    金额"),
                          QStringLiteral("[品名                ][数量][   金额 ]"), QString())},
        {wideTab, entry(true, wideCaption, wide1, wide2)},
        {wideTab, entry(true, gbkPadRight(QStringLiteral("品名"), 28) + QStringLiteral("数量    金额"),
                        QStringLiteral("[品名                        ][数量][   金额 ]"), QString())},
        {memberTab, entry(false, narrowCaption, narrow1, narrow2)},
        {memberTab, entry(true, wideCaption, wide1, wide2)},
    };
}

QString joined(const QStringList &lines, qsizetype from, qsizetype count)
{
    QStringList part = lines.mid(from, count);
    for (QString &line : part) {
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
    }
    return part.join(CrLf);
}

} // namespace

const QList<ReceiptLibraryEntry> &receiptLibrary()
{
    static const QList<ReceiptLibraryEntry> library = build();
    return library;
}

ReceiptTemplateChoice takeLibraryTemplate(int index, bool driver)
{
    const QList<ReceiptLibraryEntry> &library = receiptLibrary();
    if (index < 0 || index >= library.size())
        return {};
    const QStringList &lines = library[index].lines;
    ReceiptTemplateChoice choice;
    choice.templates.heading = joined(lines, 0, 5);
    choice.templates.lineTemplate = joined(lines, 5, 2);
    choice.templates.footing = joined(lines, 7, 8);
    if (index >= 4) {
        const QString member = QString(index == 4 ? 32 : 40, QLatin1Char('-')) + CrLf + QStringLiteral("[会员卡]") + CrLf +
                               QStringLiteral("[本单积分]") + CrLf + QStringLiteral("[累计积分]") + CrLf;
        choice.templates.footing.prepend(member);
    }
    const bool narrow = index <= 1;
    choice.paperWidth = driver ? (narrow ? 58 : 80) : (narrow ? 48 : 59);
    return choice;
}

} // namespace vorel
