#include "offline/synchroniser.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <functional>

#include "core/clock.h"
#include "core/shopservice.h"
#include "core/terminalsettings.h"
#include "core/text.h"
#include "offline/localstore.h"

namespace vorel {

const QString Synchroniser::Title = QStringLiteral("正在与服务器同步离线数据.....");
const QString Synchroniser::UploadFailedCause = QStringLiteral("网络不稳定,库存不足,开单日期不在期间内都会造成上传错误!");
const QString Synchroniser::UploadFailedAdvice = QStringLiteral("离线数据上传失败!请点击开始重新同步，取消同步点关闭");
const QString Synchroniser::DownloadFailedCause = QStringLiteral("网络不稳定,或离线数据库损坏均会造与服务器同步错误!");
const QString Synchroniser::DownloadFailedAdvice =
    QStringLiteral("点击开始重新同步,取消点关闭,本次如不能正常完成同步,系统将关闭离线功能!");
const QString Synchroniser::StampFailurePrefix = QStringLiteral("与服务器同步失败,离线功能暂停:");
const QString Synchroniser::NoOfflineDataText =
    QStringLiteral("系统无离线数据!原因：1、您至少与服务器进行一次同步数据!2、最后一次与服务器同步不成功!");
const QString Synchroniser::PseudoItem = QStringLiteral("ZZZZZ");

namespace {

// Shift and login records go up this many statements to a call.
constexpr int RecordBatch = 100;

// A text literal for either database: inner quotes doubled, so a remark or a name with an
// apostrophe stays one value.
QString quoted(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

QString textOf(const ResultSet &rows, int row, const QString &column)
{
    const int c = rows.columnIndex(column);
    return c < 0 ? QString() : rows.fieldAt(row, c).asString();
}

// A number as SQL text: empty gives 0; anything that does not read as a number stops the
// upload rather than reach the shop as a broken statement.
QString numberOf(const ResultSet &rows, int row, const QString &column)
{
    static const QRegularExpression number(QStringLiteral("^-?\\d+(\\.\\d+)?$"));
    const QString text = textOf(rows, row, column).trimmed();
    if (text.isEmpty())
        return QStringLiteral("0");
    if (!number.match(text).hasMatch())
        throw VorelError(QStringLiteral("离线数据 %1 不是数字: %2").arg(column, text));
    return text;
}

QString quotedNumber(const ResultSet &rows, int row, const QString &column)
{
    return QLatin1Char('\'') + numberOf(rows, row, column) + QLatin1Char('\'');
}

// A text in quotes, or NULL when it is empty.
QString quotedOrNull(const ResultSet &rows, int row, const QString &column)
{
    const QString text = textOf(rows, row, column).trimmed();
    return text.isEmpty() ? QStringLiteral("NULL") : quoted(text);
}

// A date-time as "YYYY-MM-DD hh:mm:ss", in quotes; NULL when there is none.
QString quotedTime(const ResultSet &rows, int row, const QString &column)
{
    const int c = rows.columnIndex(column);
    const Field f = c < 0 ? Field() : rows.fieldAt(row, c);
    if (f.isNull() || f.asString().trimmed().isEmpty())
        return QStringLiteral("NULL");
    const QDateTime t = f.asDateTime();
    if (!t.isValid())
        throw VorelError(QStringLiteral("离线数据 %1 不是日期: %2").arg(column, f.asString()));
    return quoted(formatDateTime(t));
}

QString flagOf(const ResultSet &rows, int row, const QString &column)
{
    const int c = rows.columnIndex(column);
    return boltos(c >= 0 && rows.fieldAt(row, c).asBool());
}

// The reads of the download, in order; `plus` is the gauge step after the read.
struct Read {
    QString sql;
    int plus;
};

enum Table { VD1005, D1800, D1809, D1006, D701, D702, D711, D1007, D1101, SYS_USER, D1801, D1802, SYS_CO };

QList<Read> downloadReads(const QString &warehouse, const QString &terminal)
{
    const QString ck = quoted(warehouse);
    return {
        {QStringLiteral("SELECT * FROM VD1005"), 2},
        {QStringLiteral("SELECT D1800.K_ID,D1800.CLASS_ID, D1800.WL_NAME,D1800.M_ID, D1800.vipf, D1009.PP_NAME AS PP,"
                        "D1800.PYM,D1800.PFJ,VD704.I, VD704.cla, VD704.clazk, VD704.F1, VD704.F2,VD704.F3, VD704.TJ,"
                        "VD704.DJ_VIP,VD704.G_VIP,VD704.G_ZK, VD704.G, VD704.flag1, VD704.flag2, VD704.flag3, VD704.FA "
                        "FROM d1800 INNER JOIN D1009 ON D1800.PP_ID=D1009.PP_ID INNER JOIN (SELECT D1801.K_ID  FROM "
                        "D1801 INNER JOIN  D1802 ON D1801.WL_ID = D1802.WL_ID  WHERE (D1802.CK_ID =%1) GROUP BY "
                        "D1801.K_ID) A ON D1800.K_ID = A.K_ID AND (d1800.wl_ys=1) LEFT OUTER JOIN  VD704 ON "
                        "D1800.K_ID = VD704.K_ID and (VD704.CK_ID =%1)")
             .arg(ck),
         0},
        {QStringLiteral("   SELECT D1809. *   FROM D1800 INNER JOIN   D1009 on D1800.PP_ID = D1009.PP_ID and "
                        "(d1800.wl_ys=1) INNER JOIN   (SELECT D1801.K_ID   FROM D1801 INNER JOIN   D1802 on "
                        "D1801.WL_ID = D1802.WL_ID   WHERE(D1802.CK_ID =%1)     GROUP BY D1801.K_ID)A on "
                        "D1800.K_ID = A.K_ID INNER JOIN    D1809 on D1800.K_ID = D1809.K_ID")
             .arg(ck),
         0},
        {QStringLiteral("SELECT * FROM D1006"), 2},
        {QStringLiteral("SELECT * FROM D701  where t=0 and (ZD_ID=%1)").arg(quoted(terminal)), 2},
        {QStringLiteral("SELECT * FROM D702"), 2},
        {QStringLiteral("SELECT * FROM D711"), 2},
        {QStringLiteral("SELECT * FROM D1007 where ck_id=%1").arg(ck), 2},
        {QStringLiteral("SELECT * FROM D1101"), 2},
        {QStringLiteral("SELECT * FROM SYS_USER where t=1 AND POS=1 "), 2},
        {QStringLiteral("SELECT D1801.* FROM D1801 INNER JOIN D1802 ON D1801.WL_ID = D1802.WL_ID WHERE "
                        "(D1802.CK_ID = %1) ")
             .arg(ck),
         2},
        {QStringLiteral("SELECT WL_ID, K0, K1, K2, K3, K4, K5, K6, K7, K8, K9 FROM D1802 WHERE (CK_ID =%1)").arg(ck), 0},
        {QStringLiteral("SELECT PARAM FROM SYS_CO"), 2},
    };
}

// One downloaded row for the mirror's insert. Every table asks for its columns in the same
// order on every row, so each name is looked up once per table, on the first row.
class MirrorRow {
public:
    explicit MirrorRow(const ResultSet &rows) : rows_(rows) {}
    void moveTo(int row)
    {
        row_ = row;
        next_ = 0;
    }
    QString at(int column) const
    {
        return column >= 0 && column < rows_.columnCount() ? rows_.fieldAt(row_, column).asString() : QString();
    }
    QString text(const QString &column) { return at(index(column)); }
    QString flag(const QString &column)
    {
        const int c = index(column);
        return boltos(c >= 0 && rows_.fieldAt(row_, c).asBool());
    }

private:
    int index(const QString &column)
    {
        if (next_ == indexes_.size())
            indexes_.append(rows_.columnIndex(column));
        return indexes_.at(next_++);
    }

    const ResultSet &rows_;
    int row_ = 0;
    qsizetype next_ = 0;
    QList<int> indexes_;
};

// How the rows of one downloaded table land in the mirror.
struct MirrorTable {
    Table source;
    QString insert; // with "?" for each value
    int period;     // the screen follows the save every this many rows
    std::function<QVariantList(MirrorRow &)> values;
};

QString placeholders(int n)
{
    QStringList marks;
    for (int i = 0; i < n; ++i)
        marks << QStringLiteral("?");
    return marks.join(QLatin1Char(','));
}

// The named columns' texts (an empty text for a null).
QVariantList texts(MirrorRow &row, const QStringList &columns)
{
    QVariantList out;
    out.reserve(columns.size());
    for (const QString &c : columns)
        out << row.text(c);
    return out;
}

// The texts of the first n columns.
QVariantList leading(MirrorRow &row, int n)
{
    QVariantList out;
    out.reserve(n);
    for (int c = 0; c < n; ++c)
        out << row.at(c);
    return out;
}

QList<MirrorTable> mirrorTables()
{
    const QString oldDate = QStringLiteral("2001-01-01");
    const QStringList items{QStringLiteral("K_ID"),  QStringLiteral("CLASS_ID"), QStringLiteral("WL_NAME"),
                            QStringLiteral("M_ID"),  QStringLiteral("PP"),       QStringLiteral("PYM"),
                            QStringLiteral("PFJ"),   QStringLiteral("I"),        QStringLiteral("cla"),
                            QStringLiteral("clazk"), QStringLiteral("F1"),       QStringLiteral("F2"),
                            QStringLiteral("F3"),    QStringLiteral("TJ"),       QStringLiteral("G_ZK"),
                            QStringLiteral("DJ_VIP"), QStringLiteral("G_VIP"),   QStringLiteral("G"),
                            QStringLiteral("flag1"), QStringLiteral("flag2"),    QStringLiteral("flag3"),
                            QStringLiteral("FA")};
    return {
        {VD1005, QStringLiteral("INSERT INTO VD1005 (COL_ID,COL_NAME,S) VALUES(?,?,?)"), 100,
         [](MirrorRow &r) {
             return texts(r, {QStringLiteral("COL_ID"), QStringLiteral("COL_NAME"), QStringLiteral("S")});
         }},
        {D1801, QStringLiteral("INSERT INTO D1801 VALUES(?,?,?)"), 1000,
         [](MirrorRow &r) { return leading(r, 3); }},
        {D1006, QStringLiteral("INSERT INTO D1006 VALUES(%1)").arg(placeholders(23)), 100,
         [](MirrorRow &r) { return leading(r, 23); }},
        {D1007,
         QStringLiteral("INSERT INTO D1007 (CK_ID, CK_NAME, CK_GL, CK_TEL, CK_ADDR, CK_NOTE, OID, PYM) "
                        "VALUES(?,?,?,?,?,?,?,?)"),
         100,
         [](MirrorRow &r) {
             return texts(r,
                          {QStringLiteral("CK_ID"), QStringLiteral("CK_NAME"), QStringLiteral("CK_GL"),
                           QStringLiteral("CK_TEL"), QStringLiteral("CK_ADDR"), QStringLiteral("CK_NOTE"),
                           QStringLiteral("OID"), QStringLiteral("PYM")});
         }},
        {D1101,
         QStringLiteral("INSERT INTO D1101 (YW_ID, YW_NAME, BM_ID, TEL, FAX, EMAIL, ADDR, TC, BDATE, EDATE, T, NOTE,"
                        "PYM) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)"),
         100,
         [oldDate](MirrorRow &r) {
             QVariantList v = texts(r,
                                    {QStringLiteral("YW_ID"), QStringLiteral("YW_NAME"), QStringLiteral("BM_ID"),
                                     QStringLiteral("TEL"), QStringLiteral("FAX"), QStringLiteral("EMAIL"),
                                     QStringLiteral("ADDR"), QStringLiteral("TC"), QStringLiteral("BDATE")});
             v << oldDate << r.flag(QStringLiteral("T")) << r.text(QStringLiteral("NOTE"))
               << r.text(QStringLiteral("PYM"));
             return v;
         }},
        {D701, QStringLiteral("INSERT INTO D701 (CK_ID, ZD_ID, ZD_NAME, ZD_KEY, BDATE, EDATE,db,T) VALUES(?,?,?,?,?,?,?,0)"),
         100,
         [oldDate](MirrorRow &r) {
             QVariantList v = texts(r, {QStringLiteral("CK_ID"), QStringLiteral("ZD_ID"), QStringLiteral("ZD_NAME"),
                                           QStringLiteral("ZD_KEY")});
             v << oldDate << oldDate << r.flag(QStringLiteral("DB"));
             return v;
         }},
        {D702,
         QStringLiteral("INSERT INTO D702 (VIPID, VIPNAME, PYM, VIPTEL, VIPFAX, VIPADD, VIPEMAIL, VIPNUM, BDATE, EDATE,"
                        " BIRDATE, VIPGRARD, VIPZK, VIPF, VIPM, VIPNOTE, T) VALUES (?,?,?,?,'','','','',?,NULL,?,?,?,?,0,'',?)"),
         1000,
         [](MirrorRow &r) {
             return texts(r,
                          {QStringLiteral("VIPID"), QStringLiteral("VIPNAME"), QStringLiteral("PYM"),
                           QStringLiteral("VIPTEL"), QStringLiteral("BDATE"), QStringLiteral("BIRDATE"),
                           QStringLiteral("VIPGRARD"), QStringLiteral("VIPZK"), QStringLiteral("vipf"),
                           QStringLiteral("T")});
         }},
        {D711, QStringLiteral("INSERT INTO D711 VALUES(?,?)"), 100,
         [](MirrorRow &r) { return texts(r, {QStringLiteral("CLASSID"), QStringLiteral("CLASSNAME")}); }},
        {D1800,
         QStringLiteral("INSERT INTO D1800 (K_ID,CLASS_ID,WL_NAME,M_ID,PP,PYM,PFJ,I, cla, clazk, F1, F2,F3, TJ, G_ZK,"
                        "DJ_VIP,G_VIP, G, flag1, flag2, flag3, FA,vipf) VALUES(%1)")
             .arg(placeholders(23)),
         1000,
         [items](MirrorRow &r) {
             QVariantList v = texts(r, items);
             v << r.flag(QStringLiteral("vipf"));
             return v;
         }},
        {D1809, QStringLiteral("INSERT INTO D1809 (WL_ID,K_ID,M_INDEX,TM) VALUES(?,?,?,?)"), 1000,
         [](MirrorRow &r) {
             return texts(r, {QStringLiteral("WL_ID"), QStringLiteral("K_ID"), QStringLiteral("M_INDEX"),
                                 QStringLiteral("TM")});
         }},
        {D1802, QStringLiteral("INSERT INTO D1802 (WL_ID, K0, K1, K2, K3, K4, K5, K6, K7, K8, K9) VALUES(%1)")
                    .arg(placeholders(11)),
         1000, [](MirrorRow &r) { return leading(r, 11); }},
        {SYS_USER,
         QStringLiteral("INSERT INTO SYS_USER (USER_ID, BM_ID, USER_NAME, PASSWORD, T, PYM,pos_qs) VALUES(?,?,?,?,?,?,?)"),
         0,
         [](MirrorRow &r) {
             QVariantList v = texts(r, {QStringLiteral("USER_ID"), QStringLiteral("BM_ID"),
                                           QStringLiteral("USER_NAME"), QStringLiteral("PASSWORD")});
             v << r.flag(QStringLiteral("T")) << r.text(QStringLiteral("PYM"))
               << r.text(QStringLiteral("POS_QS"));
             return v;
         }},
    };
}

const QString ClearMirror = QStringLiteral(
    "DELETE FROM VD1005;DELETE FROM D1007;DELETE FROM D1101;DELETE FROM D701;DELETE FROM D702;DELETE FROM D711;"
    "DELETE FROM D1800;DELETE FROM D1809;DELETE FROM D1801;DELETE FROM D1802;DELETE FROM D1006;DELETE FROM SYS_USER;"
    "DELETE FROM SYS_CO;");

// The local rows a table's marks and retention cover, as an IN list.
QString inList(const QStringList &values)
{
    QStringList q;
    q.reserve(values.size());
    for (const QString &v : values)
        q << quoted(v);
    return QLatin1Char('(') + q.join(QLatin1Char(',')) + QLatin1Char(')');
}

} // namespace

qint64 MirrorData::rowCount() const
{
    qint64 n = 0;
    for (int i = 0; i < tables.size() && i < SYS_CO; ++i)
        n += tables.at(i).totalRowCount();
    return n;
}

Synchroniser::Synchroniser(LocalStore &store, ShopService &shop, TerminalSettings &settings, const Clock &clock,
                           int timeoutSeconds)
    : store_(store), shop_(shop), settings_(settings), clock_(clock), timeoutSeconds_(timeoutSeconds)
{
}

QString Synchroniser::gaugeText(int first, int second)
{
    return QStringLiteral("     上传【%1】    |     下载   |保存离线数据 【%2】").arg(first, 5).arg(second, 6);
}

bool Synchroniser::hasOfflineData(LocalStore &store)
{
    try {
        return store.query(QStringLiteral("SELECT * FROM sys_co")).totalRowCount() > 0;
    } catch (const LocalStoreError &) {
        return false;
    }
}

void Synchroniser::begin(const SyncTerminal &terminal)
{
    terminal_ = terminal;
    progress_ = SyncProgress{};
    progress_.gaugeText = gaugeText(0, 0);
    summary_.clear();
    lastError_.clear();
    bytesUp_ = bytesDown_ = 0;
    uploadTotal_ = uploaded_ = 0;
    startMs_ = clock_.now().toMSecsSinceEpoch();
}

int Synchroniser::run(const SyncTerminal &terminal, SyncObserver *observer)
{
    observer_ = observer;
    begin(terminal);
    report();
    try {
        upload();
    } catch (const VorelError &e) {
        store_.rollback();
        lastError_ = e.message();
        progress_.gauge = 0;
        report();
        return UploadFailed;
    }
    try {
        save(download());
        stampServerTime();
    } catch (const VorelError &e) {
        store_.rollback();
        lastError_ = e.message();
        settings_.setLastSyncTime(StampFailurePrefix + formatDateTime(clock_.now()));
        progress_.gauge = 0;
        report();
        return DownloadFailed;
    }
    return Done;
}

void Synchroniser::account()
{
    bytesUp_ += shop_.lastBytesSent();
    bytesDown_ += shop_.lastBytesReceived();
    progress_.traffic = QStringLiteral(" 流量统计   上传: %1 K").arg(double(bytesUp_) / 1024, 0, 'f', 2) +
                        QStringLiteral(" 下载: %1 K").arg(double(bytesDown_) / 1024, 0, 'f', 2);
    progress_.elapsedSeconds =
        static_cast<int>(std::lround((clock_.now().toMSecsSinceEpoch() - startMs_) / 1000.0));
}

void Synchroniser::report()
{
    if (observer_)
        observer_->progressed(progress_);
}

void Synchroniser::send(const QString &code, const QString &key, const QString &operation, const QString &sql)
{
    const QString reply = shop_.posExecSql(code, key, operation, sql, timeoutSeconds_);
    account();
    if (reply != ReplyOk)
        throw ShopServiceError(reply);
}

bool Synchroniser::read(ResultSet &out, const QString &sql)
{
    const bool ok = shop_.openSql(out, sql);
    account();
    return ok;
}

void Synchroniser::advance(int gauge)
{
    progress_.gauge = gauge;
    report();
}

// ---- upload

void Synchroniser::upload()
{
    const ResultSet slips = store_.query(QStringLiteral("SELECT * FROM D712 WHERE T=0  order by noid"));
    const ResultSet shifts = store_.query(QStringLiteral("SELECT * FROM D703 WHERE T=0"));
    const ResultSet logins = store_.query(QStringLiteral("SELECT * FROM SYS_LOG_LOGIN"));
    uploadTotal_ = slips.totalRowCount() + shifts.totalRowCount() + logins.totalRowCount();
    uploaded_ = 0;
    if (shifts.totalRowCount() > 0)
        uploadShifts(shifts);
    if (logins.totalRowCount() > 0)
        uploadLogins(logins);
    if (slips.totalRowCount() > 0)
        uploadSlips(slips);
}

namespace {

int uploadGauge(qint64 done, qint64 total)
{
    return total > 0 ? static_cast<int>(std::lround(double(done) * 40 / double(total))) : 0;
}

} // namespace

void Synchroniser::uploadShifts(const ResultSet &rows)
{
    static const QStringList Quoted{QStringLiteral("ZD_ID"), QStringLiteral("CLASSID"), QStringLiteral("USER_ID")};
    static const QStringList Amounts{QStringLiteral("BMONEY"), QStringLiteral("EMONEY"), QStringLiteral("S1"),
                                     QStringLiteral("S2"),     QStringLiteral("S3"),     QStringLiteral("S4"),
                                     QStringLiteral("S5"),     QStringLiteral("S6"),     QStringLiteral("S7"),
                                     QStringLiteral("SL"),     QStringLiteral("NUM")};
    QString batch;
    QStringList starts;
    for (int r = 0; r < rows.totalRowCount(); ++r) {
        ++uploaded_;
        const QString bdate = quotedTime(rows, r, QStringLiteral("BDATE"));
        starts << textOf(rows, r, QStringLiteral("BDATE"));
        QStringList values;
        for (const QString &c : Quoted)
            values << quoted(textOf(rows, r, c));
        values << bdate << quotedTime(rows, r, QStringLiteral("EDATE"));
        for (const QString &c : Amounts)
            values << quotedNumber(rows, r, c);
        values << quoted(textOf(rows, r, QStringLiteral("BNOID"))) << quoted(textOf(rows, r, QStringLiteral("ENOID")));
        batch += QStringLiteral("if not EXISTS(SELECT BDATE FROM D703 where (ZD_ID=%1) AND BDATE=%2) INSERT INTO D703 "
                                "(ZD_ID, CLASSID, USER_ID, BDATE, EDATE, BMONEY, EMONEY,S1,S2,S3,S4,S5,S6,S7,SL,NUM,"
                                "BNOID,ENOID,T) VALUES(%3,1);")
                     .arg(quoted(terminal_.terminalId), bdate, values.join(QLatin1Char(',')));
        progress_.gauge = uploadGauge(uploaded_, uploadTotal_);
        progress_.gaugeText = gaugeText(progress_.gauge, 0);
        if (uploaded_ % RecordBatch == 0) {
            send(QString(), QString(), QString(), batch);
            batch.clear();
            report();
        }
    }
    if (!batch.isEmpty())
        send(QString(), QString(), QString(), batch);
    const QString now = quoted(formatDateTime(clock_.now()));
    store_.begin();
    store_.execute(QStringLiteral("UPDATE D703 SET T=1 WHERE T=0 AND BDATE IN %1;delete from D703 where (T=1) AND "
                                  "date(bdate,'%2 day')<%3;")
                       .arg(inList(starts))
                       .arg(terminal_.shiftKeepDays)
                       .arg(now));
    store_.commit();
    progress_.step = QStringLiteral("上传交班记录:") + QString::number(rows.totalRowCount());
    summary_ = progress_.step;
    report();
}

void Synchroniser::uploadLogins(const ResultSet &rows)
{
    QString batch;
    for (int r = 0; r < rows.totalRowCount(); ++r) {
        ++uploaded_;
        if (!textOf(rows, r, QStringLiteral("BEGINDATE")).trimmed().isEmpty()) {
            const QString user = quoted(textOf(rows, r, QStringLiteral("USER_ID")));
            const QString begin = quotedTime(rows, r, QStringLiteral("BEGINDATE"));
            const QString computer =
                quoted(gbkLeft(QStringLiteral("<离线>") + textOf(rows, r, QStringLiteral("COMPUTER")), 20));
            // A record that already went up in a run that failed later is not written twice.
            batch += QStringLiteral("IF NOT EXISTS (SELECT user_id FROM SYS_LOG_LOGIN WHERE user_id=%1 AND "
                                    "begindate=%2 AND computer=%3) INSERT INTO SYS_LOG_LOGIN (user_id, begindate, "
                                    "enddate, computer) VALUES(%1,%2,%4,%3);")
                         .arg(user, begin, computer, quotedTime(rows, r, QStringLiteral("ENDDATE")));
        }
        progress_.gauge = uploadGauge(uploaded_, uploadTotal_);
        progress_.gaugeText = gaugeText(progress_.gauge, 0);
        if (uploaded_ % RecordBatch == 0 && !batch.isEmpty()) {
            send(QString(), QString(), QString(), batch);
            batch.clear();
            report();
        }
    }
    if (!batch.isEmpty())
        send(QString(), QString(), QString(), batch);
    // Only the records read are deleted: one written meanwhile waits for the next run.
    store_.begin();
    store_.execute(QStringLiteral("delete from SYS_log_LOGIN where rowid in (select rowid from SYS_LOG_LOGIN "
                                  "order by rowid limit %1);")
                       .arg(rows.totalRowCount()));
    store_.commit();
    progress_.step += QStringLiteral(" 登录记录:") + QString::number(rows.totalRowCount());
    summary_ = progress_.step;
    report();
}

QString Synchroniser::slipBatch(const ResultSet &header, int r)
{
    const QString noid = textOf(header, r, QStringLiteral("NOID"));
    const QString q = quoted(noid);
    const QString bdate = quotedTime(header, r, QStringLiteral("BDATE"));
    QString sql = QStringLiteral("IF NOT EXISTS ( SELECT 1 from sys_co where (%1> CK_END_DATE) and (%1< (CK_END_DATE "
                                 "+ 37))) RAISERROR('开单日期不在进销存期间内!', 16, 1);")
                      .arg(bdate);
    sql += QStringLiteral("IF EXISTS (SELECT noid from d712 where(D712.NOID = %1)) select @noid=null else begin ").arg(q);
    QStringList amounts;
    for (int i = 1; i <= 7; ++i)
        amounts << numberOf(header, r, QStringLiteral("S%1").arg(i));
    const QString vipf = numberOf(header, r, QStringLiteral("VIPF"));
    sql += QStringLiteral("INSERT INTO D712 (NOID, CK_ID, ZD_ID, CLASSID, VIPID, YW_ID,BDATE,USER_ID, NOTE, S1, S2, "
                          "S3,S4, S5, S6, S7,vipf, T,F,TJ) VALUES(%1,%2,%3,%4,%5,%6,%7,%8,%9,")
               .arg(q, quoted(textOf(header, r, QStringLiteral("CK_ID"))),
                    quoted(textOf(header, r, QStringLiteral("ZD_ID"))),
                    quoted(textOf(header, r, QStringLiteral("CLASSID"))),
                    quotedOrNull(header, r, QStringLiteral("VIPID")), quotedOrNull(header, r, QStringLiteral("YW_ID")),
                    bdate, quoted(textOf(header, r, QStringLiteral("USER_ID"))),
                    quoted(textOf(header, r, QStringLiteral("NOTE")))) +
           amounts.join(QLatin1Char(',')) + QLatin1Char(',') + vipf + QStringLiteral(",1,1,1);");

    const ResultSet lines = store_.query(QStringLiteral("SELECT * FROM D712A where noid=%1 order by rowid").arg(q));
    const QString warehouse = quoted(terminal_.warehouseId);
    QStringList units;
    for (int l = 0; l < lines.totalRowCount(); ++l) {
        units << textOf(lines, l, QStringLiteral("WL_ID"));
        QStringList v;
        for (int s = 0; s <= 9; ++s)
            v << quotedNumber(lines, l, QStringLiteral("S%1").arg(s));
        for (const char *c : {"SJ", "SMONEY", "ZK", "ODJ", "OMONEY"})
            v << quotedNumber(lines, l, QString::fromLatin1(c));
        v << quoted(textOf(lines, l, QStringLiteral("NOTE")));
        for (const char *c : {"G", "FLAG1", "FLAG2", "FLAG3"})
            v << numberOf(lines, l, QString::fromLatin1(c));
        v << flagOf(lines, l, QStringLiteral("VIPF"));
        sql += QStringLiteral("INSERT INTO D712A (NOID, XH, WL_ID, CK_ID, S0,S1,S2,S3,S4,S5,S6,S7,S8,S9, SJ, SMONEY, "
                              "ZK,ODJ,OMONEY, NOTE,G,FLAG1,FLAG2,FLAG3,vipf) VALUES(%1,'1',%2,%3,%4);")
                   .arg(q, quoted(textOf(lines, l, QStringLiteral("WL_ID"))), warehouse, v.join(QLatin1Char(',')));
    }
    // The list prices of the slip's own units only: the whole catalogue grouped for every
    // slip would make the upload of a big shop crawl.
    sql += QStringLiteral("UPDATE D712A SET DJ = B.DJ,MONEY=B.DJ*(S0+S1+S2+S3+S4+S5+S6+S7+S8+S9) FROM (SELECT "
                          "D1801.WL_ID, D1800.DJ  FROM D1800 INNER JOIN  D1801 ON D1800.K_ID = D1801.K_ID  WHERE "
                          "D1801.WL_ID IN %2 GROUP BY D1801.WL_ID, D1800.DJ) B WHERE D712A.WL_ID = B.WL_ID and "
                          "d712a.noid=%1;")
               .arg(q, inList(units.isEmpty() ? QStringList{QString()} : units));
    const QString card = textOf(header, r, QStringLiteral("VIPID")).trimmed();
    if (!card.isEmpty())
        sql += QStringLiteral("update d702 set vipf=vipf+%1 where vipid=%2;").arg(vipf, quoted(card));
    sql += QStringLiteral(" end ");
    return sql;
}

void Synchroniser::uploadSlips(const ResultSet &rows)
{
    const int count = rows.totalRowCount();
    // The cash-off lines name a pseudo item the shop's stock must know.
    const QString ck = quoted(terminal_.warehouseId);
    send(QString(), QString(), QString(),
         QStringLiteral("IF NOT EXISTS (SELECT WL_ID FROM D1801 WHERE WL_ID='%1') INSERT INTO D1801 (WL_ID, K_ID, "
                        "COL_ID) VALUES('%1','%1','');IF NOT EXISTS (SELECT WL_ID FROM D1802 WHERE WL_ID='%1' AND "
                        "CK_ID=%2) INSERT INTO D1802 (CK_ID, WL_ID) VALUES(%2,'%1');")
             .arg(PseudoItem, ck));
    QStringList numbers;
    for (int r = 0; r < count; ++r) {
        const QString noid = textOf(rows, r, QStringLiteral("NOID"));
        send(opcode::Slip, noid, QStringLiteral("Add"), slipBatch(rows, r));
        numbers << noid;
        progress_.step = summary_ + QStringLiteral(" 上传单号:%1/%2   %3").arg(r + 1).arg(count).arg(noid);
        ++uploaded_;
        progress_.gauge = uploadGauge(uploaded_, uploadTotal_);
        progress_.gaugeText = gaugeText(r + 1, 0);
        report();
    }
    const QString now = quoted(formatDateTime(clock_.now()));
    store_.begin();
    store_.execute(QStringLiteral("UPDATE D712 SET T=1 WHERE T=0 AND NOID IN %1;delete from d712 where (T=1) AND "
                                  "date(bdate,'%2 day')<%3; delete from d712a where noid in (select D712a.noid from "
                                  "d712a left join d712 on d712.noid=d712a.noid where D712.noid is null);")
                       .arg(inList(numbers))
                       .arg(terminal_.slipKeepDays)
                       .arg(now));
    store_.commit();
    summary_ += QStringLiteral(" 销售单据:") + QString::number(count);
}

// ---- download and save

MirrorData Synchroniser::download()
{
    MirrorData mirror;
    int gauge = 40;
    for (const Read &r : downloadReads(terminal_.warehouseId, terminal_.terminalId)) {
        ResultSet rows;
        if (!read(rows, r.sql))
            throw VorelError(QStringLiteral("下载离线数据失败: ") + r.sql.simplified().left(60));
        mirror.tables.append(std::move(rows));
        gauge += r.plus;
        advance(gauge);
    }
    return mirror;
}

void Synchroniser::save(const MirrorData &mirror)
{
    if (mirror.tables.size() <= SYS_CO)
        throw VorelError(QStringLiteral("下载的离线数据不完整"));
    const qint64 total = mirror.rowCount();
    qint64 saved = 0;
    store_.begin();
    store_.execute(ClearMirror);
    for (const MirrorTable &t : mirrorTables()) {
        const ResultSet &rows = mirror.tables.at(t.source);
        LocalStatement insert = store_.prepare(t.insert);
        MirrorRow row(rows);
        for (int r = 0; r < rows.totalRowCount(); ++r) {
            row.moveTo(r);
            insert.run(t.values(row));
            ++saved;
            if (t.period > 0 && saved % t.period == 0) {
                progress_.gauge = 60 + static_cast<int>(std::lround(double(saved) * 40 / double(total)));
                progress_.gaugeText = gaugeText(static_cast<int>(uploadTotal_), static_cast<int>(saved));
                report();
            }
        }
    }
    const ResultSet &co = mirror.tables.at(SYS_CO);
    if (co.totalRowCount() > 0)
        store_.prepare(QStringLiteral("INSERT INTO SYS_CO VALUES(?)")).run({co.fieldAt(0, 0).asString()});
    progress_.gauge = 100;
    progress_.gaugeText = gaugeText(static_cast<int>(uploadTotal_), static_cast<int>(saved));
    report();
    store_.commit();
}

void Synchroniser::stampServerTime()
{
    ResultSet now;
    if (!read(now, QStringLiteral("SELECT getdate() as D")) || now.totalRowCount() == 0)
        throw VorelError(QStringLiteral("读取服务器时间失败"));
    const QDateTime t = now.fieldAt(0, 0).asDateTime();
    settings_.setLastSyncTime(t.isValid() ? formatDateTime(t) : now.fieldAt(0, 0).asString());
    report();
}

} // namespace vorel
