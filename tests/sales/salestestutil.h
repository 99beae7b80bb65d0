#pragma once
// Builders shared by the sales tests: lookup rows as the item search returns them, sale
// lines, and a sale wired to a session and a recording customer display.

#include <QVariant>
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "core/resultset.h"
#include "core/session.h"
#include "sales/customerdisplay.h"
#include "sales/pricing.h"
#include "sales/sale.h"

#include "recordingcustomerdisplay.h"

namespace vorel {

inline void PrintTo(const Money &value, std::ostream *os)
{
    *os << value.toPlainString().toStdString();
}

} // namespace vorel

namespace vorel::test {

inline Money money(const char *text)
{
    return Money::parse(QString::fromUtf8(text)).value();
}

inline std::string str(const QString &text)
{
    return text.toStdString();
}

// The priced fields of a line, as decimal texts.
struct Priced {
    int sl;
    const char *zk, *sj, *omoney, *smoney;
};

inline void expectPriced(const SaleLine &l, const Priced &p)
{
    EXPECT_EQ(l.sl(), p.sl);
    EXPECT_EQ(Money::fromDouble(l.zk()), money(p.zk)) << "ZK";
    EXPECT_EQ(Money::fromDouble(l.sj()), money(p.sj)) << "SJ";
    EXPECT_EQ(Money::fromDouble(l.omoney()), money(p.omoney)) << "OMONEY";
    EXPECT_EQ(Money::fromDouble(l.smoney()), money(p.smoney)) << "SMONEY";
}

// One row of an item lookup. `kind` null means the item has no promotion data.
struct LookupRow {
    double tag = 100;
    const char *kind = nullptr; // I
    int g = 0;
    double tj = 0, djVip = 0, gZk = 0, gVip = 0;
    int flag1 = 0, flag2 = 0, flag3 = 0, cla = 0, clazk = 0, f1 = 0;
    double f2 = 0, f3 = 0;
};

inline ResultSet lookup(const LookupRow &r)
{
    // Column names spelled as the two lookups spell them; fields are found without case.
    ResultSet rs({{"VIPF", FieldType::Integer}, {"WL_ID", FieldType::Text}, {"TM", FieldType::Text},
                  {"WL_NAME", FieldType::Text}, {"PP", FieldType::Text}, {"M_INDEX", FieldType::Integer},
                  {"DW_ID", FieldType::Text}, {"DW_NAME", FieldType::Text}, {"abase", FieldType::Integer},
                  {"WL_GG", FieldType::Text}, {"SJ", FieldType::Decimal}, {"I", FieldType::Text},
                  {"G", FieldType::Integer}, {"flag1", FieldType::Integer}, {"flag2", FieldType::Integer},
                  {"flag3", FieldType::Integer}, {"cla", FieldType::Integer}, {"clazk", FieldType::Integer},
                  {"F1", FieldType::Integer}, {"F2", FieldType::Decimal}, {"F3", FieldType::Decimal},
                  {"TJ", FieldType::Decimal}, {"DJ_VIP", FieldType::Decimal}, {"G_ZK", FieldType::Decimal},
                  {"G_VIP", FieldType::Decimal}, {"fa", FieldType::Text}});
    rs.appendRow({1, "K2301", "6900000000017", QString::fromUtf8("圆领T恤"), "VR", 2, "01",
                  QString::fromUtf8("白色"), 5, "M", r.tag,
                  r.kind ? QVariant(QString::fromLatin1(r.kind)) : QVariant(), r.g, r.flag1, r.flag2,
                  r.flag3, r.cla, r.clazk, r.f1, r.f2, r.f3, r.tj, r.djVip, r.gZk, r.gVip,
                  QString::fromUtf8("夏季特惠")});
    return rs;
}

// An item line at its tag price.
inline SaleLine itemLine(double tag, int sl = 1, int g = 0)
{
    SaleLine l;
    l.setWlId(QStringLiteral("K1"));
    l.setSl(sl);
    l.setOdj(tag);
    l.setZk(1.0);
    l.setSj(tag);
    l.setOmoney((Money::fromDouble(tag) * sl).toDouble());
    l.setSmoney((Money::fromDouble(tag) * sl).toDouble());
    l.setG(static_cast<qint16>(g));
    return l;
}

// A line of a threshold group whose charged amount counts (FLAG3).
inline SaleLine groupLine(int g, double amount, int clazk, int f1, double f2, int cla = 1, double f3 = 0)
{
    SaleLine l = itemLine(amount, 1, g);
    l.setFlag3(1);
    l.setClazk(static_cast<qint16>(clazk));
    l.setF1(f1);
    l.setF2(f2);
    l.setF3(f3);
    l.setCla(static_cast<qint16>(cla));
    return l;
}

// Every right of the rights text ("1" at positions 1 to 17), less the one named.
inline QString rightsWithout(int position = 0)
{
    QString text(17, QLatin1Char('1'));
    if (position > 0)
        text[position - 1] = QLatin1Char('0');
    return text;
}

struct SaleRig {
    explicit SaleRig(int decimals = 2, int rounding = 1)
    {
        session.formats.amountDecimals = decimals;
        session.formats.amountRounding = rounding;
        sale.applyAmountDecimals(decimals);
        sale.setCustomerDisplay(&display);
    }
    Session session;
    Sale sale{session.formats};
    Pricing pricing{sale, session.formats};
    RecordingCustomerDisplay display;
};

} // namespace vorel::test
