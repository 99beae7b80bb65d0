#pragma once
// One line of the sale being rung up. The field set is the one the slip tables, the held
// sales and the receipts share; the comments give each field's column name there.
//
// Prices and amounts are kept as doubles, the way the slip rows carry them. Code that
// computes with them reads them into Money and writes the result back (the setters take
// either). Text fields are cut to their GBK byte widths when they are assigned, so a line
// never holds more than its slip column can store.

#include <QString>
#include <QtGlobal>

#include "core/money.h"

namespace vorel {

enum class LineKind {
    Item,       // an item rung up or loaded from a stored slip
    Redemption, // points spent on a voucher: WL_ID "Z"
    CashOff,    // the group promotions' cash off, kept by the system: WL_ID "ZZZZZ"
    TopUp,      // a stored-value card top-up: TM "ZZZZC"
};

class SaleLine {
public:
    // GBK byte widths of the text fields.
    static constexpr int NoidWidth = 20;
    static constexpr int TmWidth = 20;
    static constexpr int WlIdWidth = 20;
    static constexpr int WlNameWidth = 80;
    static constexpr int WlGgWidth = 30;
    static constexpr int DwIdWidth = 10;
    static constexpr int DwNameWidth = 20;
    static constexpr int SWidth = 3;
    static constexpr int MBsWidth = 5;
    static constexpr int NoteWidth = 50;

    // Group values: 1 to 19 are threshold promotion groups, below 0 single-item special
    // prices, 20 and above are left out of the group computation.
    static constexpr qint16 FirstPromotionGroup = 1;
    static constexpr qint16 LastPromotionGroup = 19;
    static constexpr qint16 UngroupedLimit = 20;
    static constexpr qint16 SystemGroup = 99;

    static const QString RedemptionId; // "Z"
    static const QString CashOffId;    // "ZZZZZ"
    static const QString TopUpCode;    // "ZZZZC"

    // The system lines as the till creates them.
    static SaleLine redemption(double voucherValue);
    static SaleLine cashOff(Money discountTotal); // SJ = SMONEY = -discountTotal
    static SaleLine topUp(Money amount);

    LineKind kind() const;
    bool isItem() const { return kind() == LineKind::Item; }
    // 0 <= G < 20: the line takes discounts, amount changes and the member factor.
    bool isRepriceable() const { return g_ >= 0 && g_ < UngroupedLimit; }
    bool inPromotionGroup() const { return g_ >= FirstPromotionGroup && g_ <= LastPromotionGroup; }
    // Special prices and system lines are drawn in their own colour.
    bool isMarked() const { return g_ < 0 || g_ > UngroupedLimit; }

    // ---- text fields
    const QString &noid() const { return noid_; } // NOID: slip number of a stored line
    void setNoid(const QString &v);
    const QString &tm() const { return tm_; } // TM: barcode
    void setTm(const QString &v);
    const QString &wlId() const { return wlId_; } // WL_ID: style number
    void setWlId(const QString &v);
    const QString &wlName() const { return wlName_; } // WL_NAME: item name
    void setWlName(const QString &v);
    const QString &wlGg() const { return wlGg_; } // WL_GG: size name
    void setWlGg(const QString &v);
    const QString &dwId() const { return dwId_; } // DW_ID: colour id
    void setDwId(const QString &v);
    const QString &dwName() const { return dwName_; } // DW_NAME: colour name
    void setDwName(const QString &v);
    const QString &s() const { return s_; } // S: the colour's S value
    void setS(const QString &v);
    const QString &mBs() const { return mBs_; } // M_BS: "a" on loaded lines
    void setMBs(const QString &v);
    const QString &note() const { return note_; } // NOTE: promotion name or remark
    void setNote(const QString &v);

    // ---- quantities and markers
    quint16 xh() const { return xh_; } // XH: sequence number on a stored slip
    void setXh(quint16 v) { xh_ = v; }
    qint32 sl() const { return sl_; } // SL: quantity, negative on a return
    void setSl(qint32 v) { sl_ = v; }
    qint16 mIndex() const { return mIndex_; } // M_INDEX: size column 0 to 9
    void setMIndex(qint16 v) { mIndex_ = v; }
    qint16 g() const { return g_; } // G: promotion group
    void setG(qint16 v) { g_ = v; }
    qint16 flag1() const { return flag1_; } // FLAG1: pieces count toward the group
    void setFlag1(qint16 v) { flag1_ = v; }
    qint16 flag2() const { return flag2_; } // FLAG2: tag amount counts
    void setFlag2(qint16 v) { flag2_ = v; }
    qint16 flag3() const { return flag3_; } // FLAG3: charged amount counts
    void setFlag3(qint16 v) { flag3_ = v; }
    qint16 cla() const { return cla_; } // CLA: 0 = discount on sumb, else on suma
    void setCla(qint16 v) { cla_ = v; }
    qint16 clazk() const { return clazk_; } // CLAZK: 0 = discount, 1 = amount per multiple
    void setClazk(qint16 v) { clazk_ = v; }
    qint32 f1() const { return f1_; } // F1: group threshold
    void setF1(qint32 v) { f1_ = v; }
    bool vipf() const { return vipf_; } // VIPF: the line earns member points
    void setVipf(bool v) { vipf_ = v; }

    // ---- prices, amounts and factors
    double odj() const { return odj_; } // ODJ: tag unit price
    void setOdj(double v) { odj_ = v; }
    void setOdj(Money v) { odj_ = v.toDouble(); }
    double omoney() const { return omoney_; } // OMONEY: amount before the last rounding
    void setOmoney(double v) { omoney_ = v; }
    void setOmoney(Money v) { omoney_ = v.toDouble(); }
    double zk() const { return zk_; } // ZK: discount factor, 1 = none
    void setZk(double v) { zk_ = v; }
    void setZk(Money v) { zk_ = v.toDouble(); }
    double sj() const { return sj_; } // SJ: selling unit price
    void setSj(double v) { sj_ = v; }
    void setSj(Money v) { sj_ = v.toDouble(); }
    double smoney() const { return smoney_; } // SMONEY: amount charged
    void setSmoney(double v) { smoney_ = v; }
    void setSmoney(Money v) { smoney_ = v.toDouble(); }
    double f2() const { return f2_; } // F2: group value without member
    void setF2(double v) { f2_ = v; }
    void setF2(Money v) { f2_ = v.toDouble(); }
    double f3() const { return f3_; } // F3: group value with a member card
    void setF3(double v) { f3_ = v; }
    void setF3(Money v) { f3_ = v.toDouble(); }
    double tj() const { return tj_; } // TJ: special unit price
    void setTj(double v) { tj_ = v; }
    void setTj(Money v) { tj_ = v.toDouble(); }
    double gZk() const { return gZk_; } // G_ZK: special discount factor
    void setGZk(double v) { gZk_ = v; }
    void setGZk(Money v) { gZk_ = v.toDouble(); }

    // OTOTAL, calculated: tag total SL x ODJ.
    Money ototal() const { return Money::fromDouble(odj_) * sl_; }

    bool operator==(const SaleLine &) const = default;

private:
    QString noid_;
    quint16 xh_ = 0;
    QString tm_;
    QString wlId_;
    QString wlName_;
    QString wlGg_;
    QString dwId_;
    QString dwName_;
    qint32 sl_ = 0;
    double odj_ = 0.0;
    double omoney_ = 0.0;
    double zk_ = 0.0;
    double sj_ = 0.0;
    double smoney_ = 0.0;
    qint16 mIndex_ = 0;
    QString s_;
    QString mBs_;
    QString note_;
    qint16 g_ = 0;
    qint16 flag1_ = 0;
    qint16 flag2_ = 0;
    qint16 flag3_ = 0;
    qint16 cla_ = 0;
    qint16 clazk_ = 0;
    qint32 f1_ = 0;
    double f2_ = 0.0;
    double f3_ = 0.0;
    double tj_ = 0.0;
    double gZk_ = 0.0;
    bool vipf_ = false;
};

} // namespace vorel
