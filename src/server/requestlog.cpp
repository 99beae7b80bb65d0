#include "server/requestlog.h"

#include <QRegularExpression>

#include "core/clock.h"

namespace vorel::server {

namespace {

bool needsEscape(QChar c, bool keepBlanks)
{
    if (c == QLatin1Char(' '))
        return !keepBlanks;
    const QChar::Category cat = c.category();
    return c.unicode() < 0x20 || c.unicode() == 0x7f || c == QLatin1Char('\\') || cat == QChar::Other_Control
           || cat == QChar::Other_Format || cat == QChar::Separator_Line || cat == QChar::Separator_Paragraph
           || cat == QChar::Other_Surrogate || cat == QChar::Other_NotAssigned;
}

} // namespace

QString logField(const QString &text, int max, bool keepBlanks)
{
    static const QRegularExpression digest(QStringLiteral("[0-9A-Fa-f]{32}"));
    QString masked = text;
    masked.replace(digest, QStringLiteral("<md5>"));
    if (masked.isEmpty())
        return QStringLiteral("-");
    QString out;
    out.reserve(masked.size());
    for (const QChar c : masked) {
        if (out.size() >= max) {
            out += QLatin1String("...");
            break;
        }
        if (!needsEscape(c, keepBlanks))
            out += c;
        else if (c.unicode() <= 0xff)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return out;
}

QString formatRequestLine(const RequestLine &line)
{
    return QStringLiteral("%1 %2 till=%3 user=%4 op=%5 path=%6 %7ms -> %8")
        .arg(formatDateTime(line.time), logField(line.address, 46), logField(line.till), logField(line.user),
             logField(line.op, 40), logField(line.path, 40))
        .arg(line.ms)
        .arg(logField(line.outcome, 120, true));
}

} // namespace vorel::server
