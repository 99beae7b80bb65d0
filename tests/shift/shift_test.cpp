// The shift on a real local store and a real (in-process) demo shop: going on duty, the
// totals of the slips, the handover online and offline, the refusals; and the sales query's
// periods at the edges of a day and a month, online against offline.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "core/clock.h"
#include "core/messages.h"
#include "core/session.h"
#include "core/text.h"
#include "offline/connection.h"
#include "offline/localstore.h"
#include "server/localshopservice.h"
#include "shift/salesquery.h"
#include "shift/shiftdesk.h"
#include "shift/shiftrule.h"
#include "shift/ui/salesquerydialog.h"
#include "shift/ui/shiftdialog.h"
#include "core/ui/resultsetgrid.h"

#include "freshstore.h"

using namespace vorel;
using namespace vorel::shift;

namespace {

class NoticeLog final : public Messages {
public:
    bool show(const QString &text, Kind) override
    {
        shown << text;
        return true;
    }
    QStringList shown;
};

class FakeScreen final : public ShiftScreen {
public:
    QString slipNumberShown() const override { return slip; }
    QString cashierShown() const override { return QStringLiteral("01"); }
    bool saleOpen() const override { return open; }
    bool printSwitch() const override { return true; }
    void showStatus(const QString &text) override { status = text; }
    void showShiftName(const QString &name) override { shiftName = name; }
    bool printVoucher(const QString &text) override
    {
        printed << text;
        return true;
    }
    void logout() override { ++logouts; }

    QString slip = QStringLiteral("00110000005");
    bool open = false;
    QString status, shiftName;
    QStringList printed;
    int logouts = 0;
};

class FakePrompts final : public ShiftPrompts {
public:
    std::optional<OnDutyAnswer> askOnDuty(const ShiftForm &) override
    {
        ++asked;
        return onDuty;
    }
    bool confirmHandover(const ShiftForm &form) override
    {
        handoverForm = form;
        return true;
    }
    std::optional<OnDutyAnswer> onDuty = OnDutyAnswer{1, QStringLiteral("200")};
    ShiftForm handoverForm;
    int asked = 0;
};

// A till on terminal 001 of the demo shop, logged in as cashier 01, shifts switched on.
class ShiftFixture : public ::testing::Test {
protected:
    ShiftFixture()
        : store(test::freshLocalStore(dir)), shop(dir.filePath(QStringLiteral("shop.db")), clock),
          connection(session, shop, *store), desk({session, connection, clock, messages, screen}),
          query(session, connection, clock)
    {
        session.connection.net = 0;
        session.connection.loginFlag = true;
        session.connection.loginOnline = true;
        session.identity.userId = QStringLiteral("01");
        session.terminal.terminalId = QStringLiteral("001");
        session.terminal.shiftEnabled = true;
        session.devices.printerEnabled = true;
        desk.setPrompts(&prompts);
    }

    ResultSet local(const QString &sql) { return store->query(sql); }
    ResultSet onShop(const QString &sql)
    {
        ResultSet rows;
        EXPECT_TRUE(shop.posOpenSql(rows, sql)) << sql.toStdString();
        return rows;
    }
    void onBoth(const QString &sql)
    {
        ASSERT_EQ(shop.posExecSql(opcode::Plain, {}, {}, sql, 3), ReplyOk) << sql.toStdString();
        store->execute(sql);
    }
    // A committed slip as the commit adds it to the open shift.
    void addSlip(const QString &quantity, const ShiftAmounts &amounts, const QString &total)
    {
        ASSERT_EQ(connection.execServerSql({}, shiftTotalsSql(quantity, amounts, total), Route::Local), ReplyOk);
    }

    QTemporaryDir dir;
    ManualClock clock{QDateTime(QDate(2026, 12, 5), QTime(9, 0, 0))};
    std::unique_ptr<LocalStore> store;
    LocalShopService shop;
    Session session;
    Connection connection;
    NoticeLog messages;
    FakeScreen screen;
    FakePrompts prompts;
    ShiftDesk desk;
    SalesQuery query;
};

class ShiftDay : public ShiftFixture, public ::testing::WithParamInterface<bool> {};

// On duty with a float, a sale and a return, the handover: the shift record lands on the
// shop (online) or waits in the local store (offline), and the till keeps the voucher.
TEST_P(ShiftDay, OnDutyTwoSlipsAndHandover)
{
    const bool offline = GetParam();
    ASSERT_EQ(desk.checkShiftState(), ShiftDesk::Outcome::OnDuty);
    EXPECT_TRUE(session.terminal.onDuty);
    EXPECT_EQ(screen.shiftName, QStringLiteral("中班"));
    addSlip(QStringLiteral("2"), {QStringLiteral("158"), QStringLiteral("0"), QString(), QString(), QString(),
                                  QStringLiteral("200"), QStringLiteral("42")},
            QStringLiteral("158"));
    addSlip(QStringLiteral("-1"), {QStringLiteral("-79.5"), QStringLiteral("0.5"), QString(), QString(),
                                   QStringLiteral("0"), QString(), QStringLiteral("79")},
            QStringLiteral("-79.5"));

    connection.setOffline(offline);
    clock.advanceSeconds(8 * 3600 + 30 * 60);
    screen.slip = QStringLiteral("00110000007");
    ASSERT_EQ(desk.handover(), ShiftDesk::Outcome::HandedOver) << screen.status.toStdString();

    const ShiftForm &form = prompts.handoverForm;
    EXPECT_EQ(form.duration, QStringLiteral("08:30"));
    EXPECT_EQ(form.handoverCash, QStringLiteral("279")); // the float and the cash taken less the change given
    EXPECT_EQ(form.quantity, QStringLiteral("1"));
    EXPECT_EQ(form.amounts[0], QStringLiteral("78.5"));

    // The shift record itself is checked row by row by the shift scenarios.
    EXPECT_EQ(local(QStringLiteral("select count(*) from D703")).fieldAt(0, 0).asInt(), offline ? 1 : 0);

    EXPECT_FALSE(session.terminal.onDuty);
    EXPECT_EQ(screen.logouts, 1);
    EXPECT_EQ(local(QStringLiteral("select count(*) from DB_INFO")).fieldAt(0, 0).asInt(), 0);
    ASSERT_EQ(screen.printed.size(), 1);
    const QString voucher = screen.printed.first();
    EXPECT_EQ(desk.lastVoucher(), voucher);
    EXPECT_TRUE(voucher.contains(QStringLiteral("\r交班时间:2026-12-05 17:30:00\r\r当班金额:200\r")));

    // The next cashier finds no shift and is offered going on duty again.
    EXPECT_TRUE(desk.reprintLastVoucher());
    EXPECT_EQ(screen.printed.last(), voucher);
    prompts.onDuty.reset();
    EXPECT_EQ(desk.checkShiftState(), ShiftDesk::Outcome::Cancelled);
    EXPECT_EQ(prompts.asked, 2);
    EXPECT_FALSE(maySell(session));
}

INSTANTIATE_TEST_SUITE_P(OnlineAndOffline, ShiftDay, ::testing::Bool());

// Every refusal leaves the open shift, the shift records and the voucher as they were.
TEST_F(ShiftFixture, RefusalsWriteNothing)
{
    struct Case {
        const char *name;
        bool shiftEnabled;
        bool saleOpen;
        const char *holder; // USER_ID of the open shift; null: none
        std::optional<OnDutyAnswer> answer;
        ShiftDesk::Outcome check; // of the shift check
        ShiftDesk::Outcome f4;    // of the handover key
        QString status;
    };
    const Case cases[] = {
        {"no shift function", false, false, "01", {}, ShiftDesk::Outcome::Refused, ShiftDesk::Outcome::Refused,
         NoShiftFunctionText},
        {"sale open", true, true, "01", {}, ShiftDesk::Outcome::OnDuty, ShiftDesk::Outcome::Refused, SaleOpenText},
        {"another cashier holds the shift", true, false, "02", {}, ShiftDesk::Outcome::NotOnDuty,
         ShiftDesk::Outcome::Refused, NotOnDutyForHandoverText},
        {"going on duty cancelled", true, false, nullptr, std::nullopt, ShiftDesk::Outcome::Cancelled,
         ShiftDesk::Outcome::Cancelled, QString()},
        {"float not a number", true, false, nullptr, OnDutyAnswer{0, QStringLiteral("abc")},
         ShiftDesk::Outcome::Cancelled, ShiftDesk::Outcome::Cancelled, BadFloatText},
        {"negative float", true, false, nullptr, OnDutyAnswer{0, QStringLiteral("-5")}, ShiftDesk::Outcome::Cancelled,
         ShiftDesk::Outcome::Cancelled, BadFloatText},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        store->execute(QStringLiteral("delete from DB_INFO"));
        if (c.holder)
            store->execute(openShiftSql(QStringLiteral("001"), QStringLiteral("00110000001"), 0,
                                        QString::fromLatin1(c.holder), QStringLiteral("2026-12-05 08:00:00"),
                                        QStringLiteral("100")));
        session.terminal.shiftEnabled = c.shiftEnabled;
        screen.open = c.saleOpen;
        screen.status.clear();
        prompts.onDuty = c.answer;
        EXPECT_EQ(desk.checkShiftState(), c.check);
        if (c.check == ShiftDesk::Outcome::NotOnDuty) {
            EXPECT_EQ(screen.status, otherCashierOnDutyText(QStringLiteral("02")));
        }
        EXPECT_EQ(desk.handover(), c.f4);
        EXPECT_EQ(screen.status, c.status);
        EXPECT_EQ(local(QStringLiteral("select count(*) from DB_INFO")).fieldAt(0, 0).asInt(), c.holder ? 1 : 0);
        EXPECT_EQ(onShop(QStringLiteral("select count(*) from D703")).fieldAt(0, 0).asInt(), 0);
        EXPECT_EQ(screen.logouts, 0);
    }
    EXPECT_FALSE(desk.showLastVoucher());
    EXPECT_EQ(messages.shown.last(), NoPreviousVoucherText);
}

// A shift without sales hands over zeros, and the duration counts hours of the day only.
TEST(ShiftForm, HandoverFigures)
{
    OpenShift s;
    s.classId = QStringLiteral("3");
    s.floatMoney = Money::parse(QStringLiteral("150.005")).value();
    s.start = QDateTime(QDate(2026, 12, 5), QTime(22, 10, 0));
    const ShiftForm f = prepareHandover(s, QDateTime(QDate(2026, 12, 7), QTime(22, 11, 59)));
    EXPECT_EQ(f.duration, QStringLiteral("00:01"));
    EXPECT_EQ(f.handoverCash, QStringLiteral("150.01"));
    EXPECT_EQ(f.slips, QStringLiteral("0"));
    EXPECT_EQ(f.amounts[6], QStringLiteral("0"));
    EXPECT_TRUE(voucherText(f, QStringLiteral("01")).contains(QStringLiteral("\r班  次:晚班\r")));
}

// ---- the sales query

// Slips of terminal 001 (and one of 002) on the edges of days and months, on both databases;
// the local store gets the master rows the query joins from the demo shop.
class SalesQueryTest : public ShiftFixture {
protected:
    void SetUp() override
    {
        const char *const copies[][2] = {
            {"D1007", "CK_ID, CK_NAME"},
            {"D1800", "K_ID, WL_NAME, M_ID"},
            {"D1801", "WL_ID, K_ID, COL_ID"},
            {"VD1005", "COL_ID, COL_NAME, S"},
            {"D1006", "M_ID, M0, M1, M2, M3, M4, M5, M6, M7, M8, M9"},
        };
        for (const auto &c : copies) {
            const QString table = QString::fromLatin1(c[0]), columns = QString::fromLatin1(c[1]);
            const ResultSet rows = onShop(QStringLiteral("select %1 from %2").arg(columns, table));
            for (int r = 0; r < rows.totalRowCount(); ++r) {
                QStringList values;
                for (int i = 0; i < rows.columnCount(); ++i)
                    values << (rows.fieldAt(r, i).isNull() ? QStringLiteral("NULL") : sqlQuote(rows.fieldAt(r, i).asString()));
                store->execute(QStringLiteral("insert into %1 (%2) values (%3)").arg(table, columns, values.join(',')));
            }
        }
        store->execute(QStringLiteral("delete from D712A; delete from D712"));
        ASSERT_EQ(shop.posExecSql(opcode::Plain, {}, {}, QStringLiteral("delete from D712A; delete from D712"), 3), ReplyOk);
        const struct {
            const char *noid, *bdate, *user, *terminal, *vip;
        } slips[] = {
            {"00110000001", "2025-11-30 23:59:59", "01", "001", nullptr},
            {"00110000002", "2025-12-01 00:00:00", "01", "001", "88000001"},
            {"00110000003", "2025-12-31 23:59:59", "01", "001", nullptr},
            {"00110000004", "2026-01-01 00:00:00", "01", "001", nullptr},
            {"00110000005", "2026-01-01 23:59:59", "02", "001", "88000002"},
            {"00110000006", "2026-01-02 00:00:00", "01", "001", nullptr},
            {"00210000001", "2026-01-01 10:00:00", "01", "002", "88000001"},
        };
        for (const auto &s : slips) {
            const QString noid = QString::fromLatin1(s.noid);
            onBoth(QStringLiteral("INSERT INTO D712 (NOID, CK_ID, ZD_ID, CLASSID, VIPID, VIPZK, BDATE, USER_ID, S1, S2, "
                                  "S3, S4, S5, S6, S7) VALUES ('%1','001','%2','1',%3,1,'%4','%5',79,0,0,0,0,79,0)")
                       .arg(noid, QString::fromLatin1(s.terminal),
                            s.vip ? sqlQuote(QString::fromLatin1(s.vip)) : QStringLiteral("NULL"),
                            QString::fromLatin1(s.bdate), QString::fromLatin1(s.user)));
            // A style line, a second style line (a return on the last slip of the month) and a
            // system line: lines interleave by style within a slip.
            const QString line = QStringLiteral("INSERT INTO D712A (NOID, WL_ID, XH, CK_ID, %3, SJ, SMONEY, ODJ, "
                                                "OMONEY, ZK, G, FLAG1, FLAG2, FLAG3, NOTE, VIPF) VALUES ('%1','%2',"
                                                "'1','001',%4,79,79,79,79,1,0,0,0,0,'',0)");
            onBoth(line.arg(noid, QStringLiteral("TX00101"), QStringLiteral("S2"), QStringLiteral("1")));
            onBoth(line.arg(noid, QStringLiteral("TX00202"), QStringLiteral("S3"),
                            noid.endsWith('3') ? QStringLiteral("-2") : QStringLiteral("2")));
            onBoth(QStringLiteral("INSERT INTO D712A (NOID, WL_ID, XH, CK_ID, SJ, SMONEY, ODJ, OMONEY, ZK, G, FLAG1, "
                                  "FLAG2, FLAG3, NOTE, VIPF) VALUES ('%1','ZZZZC','1','001',50,50,0,0,1,0,0,0,0,'',0)")
                       .arg(noid));
        }
    }

    std::set<QString> slipsOf(const ResultSet &rows)
    {
        std::set<QString> out;
        for (int r = 0; r < rows.totalRowCount(); ++r)
            out.insert(rows.fieldAt(r, rows.columnIndex(QStringLiteral("NOID"))).asString());
        return out;
    }
    // The rows as text, column by column, amounts compared as amounts.
    static QStringList asText(const ResultSet &rows)
    {
        QStringList out;
        for (int r = 0; r < rows.totalRowCount(); ++r) {
            QStringList cells;
            for (const char *c : {"NOID", "K_ID", "WL_NAME", "M", "COL_NAME", "VIPID", "USER_ID"})
                cells << rows.fieldAt(r, rows.columnIndex(QString::fromLatin1(c))).asString();
            cells << rows.fieldAt(r, rows.columnIndex(QStringLiteral("BDATE"))).asDateTime().toString(Qt::ISODate);
            for (const char *c : {"SL", "ODJ", "OMONEY", "ZK", "DJ", "MONEY"})
                cells << rows.fieldAt(r, rows.columnIndex(QString::fromLatin1(c))).asMoney().toPlainString();
            out << cells.join('|');
        }
        return out;
    }
};

TEST_F(SalesQueryTest, PeriodsAtTheEdgesOfDaysAndMonthsOnlineAndOffline)
{
    const auto s = [](std::initializer_list<int> ns) {
        std::set<QString> out;
        for (int n : ns)
            out.insert(QStringLiteral("0011000000%1").arg(n));
        return out;
    };
    const QDateTime midday(QDate(2026, 1, 1), QTime(12, 0, 0));
    const QDateTime midnight(QDate(2026, 1, 2), QTime(0, 0, 0));
    const struct {
        QDateTime now;
        Period period;
        const char *search;
        std::set<QString> slips;
        int lines; // rows in the grid
        qint64 quantity;
    } cases[] = {
        {midday, Period::Today, "", s({4, 5}), 6, 6},
        {midday, Period::Yesterday, "", s({3}), 3, -1},
        {midday, Period::ThisMonth, "", s({4, 5}), 6, 6},
        {midday, Period::LastMonth, "", s({2, 3}), 6, 2},
        {midday, Period::MyShift, "", s({4}), 3, 3},
        {midnight, Period::Today, "", s({6}), 3, 3},
        {midnight, Period::Yesterday, "", s({4, 5}), 6, 6},
        {midday, Period::All, "8800000", s({2, 5}), 6, 6},
        {midday, Period::All, "TX002", s({1, 2, 3, 4, 5, 6}), 6, 8},
        {midday, Period::All, "0000005", s({5}), 3, 3},
        {midday, Period::All, "x' or 'a'='a", {}, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 period %2 search %3")
                         .arg(c.now.toString(Qt::ISODate))
                         .arg(int(c.period))
                         .arg(QString::fromUtf8(c.search))
                         .toStdString());
        clock.set(c.now);
        QStringList seen[2];
        for (const bool offline : {false, true}) {
            connection.setOffline(offline);
            ASSERT_TRUE(query.run(c.period, QString::fromUtf8(c.search)));
            EXPECT_EQ(query.showsUploadFlag(), offline);
            EXPECT_EQ(slipsOf(query.rows()), c.slips);
            EXPECT_EQ(query.rows().totalRowCount(), c.lines);
            EXPECT_EQ(query.footer().quantity, c.quantity);
            seen[offline] = asText(query.rows());
        }
        EXPECT_EQ(seen[0], seen[1]);
    }
    // A range of days, both ends included.
    ASSERT_TRUE(query.run(Period::Range, QString(), QDate(2025, 11, 30), QDate(2025, 12, 1)));
    EXPECT_EQ(slipsOf(query.rows()), s({1, 2}));
}

// The slip count follows the grid's order: a slip counts once per run of its lines.
TEST(SalesQueryFooter, CountsRunsOfSlipNumbers)
{
    ResultSet rows({{QStringLiteral("NOID"), FieldType::Text}, {QStringLiteral("SL"), FieldType::Integer}});
    for (const auto &[noid, sl] : {std::pair{"A", 2}, {"A", -1}, {"B", 0}, {"A", 3}, {"C", 1}})
        rows.appendRow({QString::fromLatin1(noid), sl});
    const SalesQueryFooter f = salesQueryFooter(rows);
    EXPECT_EQ(f.slips, 4);
    EXPECT_EQ(f.quantity, 5);
}

// ---- the dialogs, driven as a cashier would

// Going on duty refuses a float that is no amount and keeps the dialog open.
TEST_F(ShiftFixture, ShiftDialogRefusesABadFloat)
{
    ShiftDialog dialog(desk, messages);
    auto *floatEdit = dialog.findChild<QLineEdit *>(QStringLiteral("A4"));
    auto *shifts = dialog.findChild<QComboBox *>(QStringLiteral("CB"));
    auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("btn_ok"));
    dialog.prepare(prepareOnDuty(QStringLiteral("01"), QStringLiteral("001"), clock.now()));
    dialog.show();
    shifts->setCurrentIndex(2);
    floatEdit->clear();
    QTest::keyClicks(floatEdit, QStringLiteral("1'2x"));
    EXPECT_EQ(floatEdit->text(), QStringLiteral("12x")); // the quote never arrives
    ok->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(messages.shown.value(0), BadFloatText);
    QTest::keyClicks(floatEdit, QStringLiteral("12")); // the refused text is selected: typing replaces it
    ok->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.answer().shiftIndex, 2);
    EXPECT_EQ(dialog.answer().floatText, QStringLiteral("12"));

}

// TS007 opens on today's lines; Enter in the search field narrows them; offline the upload
// flag becomes a column.
TEST_F(SalesQueryTest, SalesQueryDialog)
{
    clock.set(QDateTime(QDate(2026, 1, 1), QTime(12, 0, 0)));
    SalesQueryDialog dialog(query);
    dialog.show();
    dialog.prepareSalesQuery();
    auto *footer = dialog.findChild<QLabel *>(QStringLiteral("footer_WL_NAME"));
    EXPECT_EQ(dialog.grid()->rowCount(), 6);
    EXPECT_EQ(footer->text(), QStringLiteral("单数: 2"));
    auto *search = dialog.findChild<QLineEdit *>(QStringLiteral("Edit1"));
    EXPECT_EQ(search->placeholderText(), SalesQuerySearchHint);
    QTest::keyClicks(search, QStringLiteral("0000005"));
    QTest::keyClick(search, Qt::Key_Return);
    EXPECT_EQ(dialog.grid()->rowCount(), 3);
    EXPECT_EQ(footer->text(), QStringLiteral("单数: 1"));
    const int online = dialog.grid()->model()->columnCount();
    connection.setOffline(true);
    dialog.findChild<QPushButton *>(QStringLiteral("btn_4"))->click(); // last month
    EXPECT_EQ(dialog.grid()->rowCount(), 0);
    EXPECT_EQ(dialog.grid()->model()->columnCount(), online + 1);
}

} // namespace
