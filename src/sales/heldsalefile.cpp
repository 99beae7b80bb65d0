#include "sales/heldsalefile.h"

#include <QStringList>

#include "core/text.h"

namespace vorel {

namespace {

const QString Signature = QStringLiteral("VORELHOLD 1");
constexpr int LineFields = 30;

QString escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        default: out += c;
        }
    }
    return out;
}

std::optional<QString> unescaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('\\')) {
            out += text.at(i);
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text.at(i).unicode()) {
        case '\\': out += QLatin1Char('\\'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case 'n': out += QLatin1Char('\n'); break;
        default: return std::nullopt;
        }
    }
    return out;
}

QString num(double v) { return QString::number(v, 'g', 17); }
QString num(qint64 v) { return QString::number(v); }

QStringList lineFields(const SaleLine &l)
{
    return {escaped(l.noid()), num(qint64(l.xh())), escaped(l.tm()), escaped(l.wlId()), escaped(l.wlName()),
            escaped(l.wlGg()), escaped(l.dwId()), escaped(l.dwName()), num(qint64(l.sl())), num(l.odj()),
            num(l.omoney()), num(l.zk()), num(l.sj()), num(l.smoney()), num(qint64(l.mIndex())),
            escaped(l.s()), escaped(l.mBs()), escaped(l.note()), num(qint64(l.g())), num(qint64(l.flag1())),
            num(qint64(l.flag2())), num(qint64(l.flag3())), num(qint64(l.cla())), num(qint64(l.clazk())),
            num(qint64(l.f1())), num(l.f2()), num(l.f3()), num(l.tj()), num(l.gZk()), num(qint64(l.vipf()))};
}

// Reads the fields back in the order lineFields wrote them; any field that does not read
// makes the whole line fail.
class FieldReader {
public:
    explicit FieldReader(const QStringList &fields) : fields_(fields) {}
    bool ok() const { return ok_; }
    QString text()
    {
        const std::optional<QString> t = unescaped(next());
        ok_ = ok_ && t.has_value();
        return t.value_or(QString());
    }
    qint64 integer(qint64 low, qint64 high)
    {
        bool good = false;
        const qint64 v = next().toLongLong(&good);
        ok_ = ok_ && good && v >= low && v <= high;
        return v;
    }
    double real()
    {
        bool good = false;
        const double v = next().toDouble(&good);
        ok_ = ok_ && good;
        return v;
    }

private:
    QString next() { return index_ < fields_.size() ? fields_.at(index_++) : (ok_ = false, QString()); }
    const QStringList &fields_;
    qsizetype index_ = 0;
    bool ok_ = true;
};

std::optional<SaleLine> readLine(const QString &record)
{
    const QStringList fields = record.split(QLatin1Char('\t'));
    if (fields.size() != LineFields)
        return std::nullopt;
    FieldReader r(fields);
    constexpr qint64 i16 = 32767, i32 = 2147483647;
    SaleLine l;
    l.setNoid(r.text());
    l.setXh(quint16(r.integer(0, 65535)));
    l.setTm(r.text());
    l.setWlId(r.text());
    l.setWlName(r.text());
    l.setWlGg(r.text());
    l.setDwId(r.text());
    l.setDwName(r.text());
    l.setSl(qint32(r.integer(-i32 - 1, i32)));
    l.setOdj(r.real());
    l.setOmoney(r.real());
    l.setZk(r.real());
    l.setSj(r.real());
    l.setSmoney(r.real());
    l.setMIndex(qint16(r.integer(-i16 - 1, i16)));
    l.setS(r.text());
    l.setMBs(r.text());
    l.setNote(r.text());
    l.setG(qint16(r.integer(-i16 - 1, i16)));
    l.setFlag1(qint16(r.integer(-i16 - 1, i16)));
    l.setFlag2(qint16(r.integer(-i16 - 1, i16)));
    l.setFlag3(qint16(r.integer(-i16 - 1, i16)));
    l.setCla(qint16(r.integer(-i16 - 1, i16)));
    l.setClazk(qint16(r.integer(-i16 - 1, i16)));
    l.setF1(qint32(r.integer(-i32 - 1, i32)));
    l.setF2(r.real());
    l.setF3(r.real());
    l.setTj(r.real());
    l.setGZk(r.real());
    l.setVipf(r.integer(0, 1) == 1);
    if (!r.ok())
        return std::nullopt;
    return l;
}

} // namespace

QByteArray encodeHeldSale(const HeldSale &sale)
{
    QString text = Signature + QStringLiteral("\r\n");
    text += QStringLiteral("K ") + escaped(sale.memberCard) + QStringLiteral("\r\n");
    text += QStringLiteral("ZK ") + escaped(sale.memberRateText) + QStringLiteral("\r\n");
    text += QStringLiteral("YW ") + escaped(sale.salesperson) + QStringLiteral("\r\n");
    text += QStringLiteral("RP ") + num(sale.redeemPoints) + QStringLiteral("\r\n");
    text += QStringLiteral("B ") + escaped(sale.description) + QStringLiteral("\r\n");
    for (const SaleLine &line : sale.lines)
        text += QStringLiteral("L ") + lineFields(line).join(QLatin1Char('\t')) + QStringLiteral("\r\n");
    text += QStringLiteral("END ") + num(qint64(sale.lines.size())) + QStringLiteral("\r\n");
    return toGbk(text);
}

std::optional<HeldSale> decodeHeldSale(const QByteArray &bytes)
{
    const QStringList records = fromGbk(bytes).split(QStringLiteral("\r\n"));
    // The last record is END and the text ends with its line break.
    if (records.size() < 8 || records.first() != Signature || !records.last().isEmpty())
        return std::nullopt;
    HeldSale sale;
    const struct {
        const char *tag;
        QString *into;
    } header[] = {{"K ", &sale.memberCard}, {"ZK ", &sale.memberRateText}, {"YW ", &sale.salesperson}};
    qsizetype at = 1;
    for (const auto &h : header) {
        const QString &record = records.at(at++);
        if (!record.startsWith(QLatin1String(h.tag)))
            return std::nullopt;
        const std::optional<QString> value = unescaped(record.mid(qsizetype(qstrlen(h.tag))));
        if (!value)
            return std::nullopt;
        *h.into = *value;
    }
    bool good = false;
    if (!records.at(at).startsWith(QLatin1String("RP ")))
        return std::nullopt;
    sale.redeemPoints = records.at(at++).mid(3).toLongLong(&good);
    const QString &b = records.at(at++);
    const std::optional<QString> description = unescaped(b.mid(2));
    if (!good || !b.startsWith(QLatin1String("B ")) || !description)
        return std::nullopt;
    sale.description = *description;
    for (; at < records.size() - 2; ++at) {
        const QString &record = records.at(at);
        if (!record.startsWith(QLatin1String("L ")))
            return std::nullopt;
        const std::optional<SaleLine> line = readLine(record.mid(2));
        if (!line)
            return std::nullopt;
        sale.lines.append(*line);
    }
    const QString &end = records.at(at);
    if (!end.startsWith(QLatin1String("END ")) || end.mid(4).toLongLong(&good) != sale.lines.size() || !good)
        return std::nullopt;
    return sale;
}

} // namespace vorel
