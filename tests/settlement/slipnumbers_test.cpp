#include "settlement/slipnumbers.h"

#include <gtest/gtest.h>

#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>

#include "core/clock.h"
#include "core/messages.h"
#include "core/session.h"
#include "core/terminalsettings.h"
#include "offline/connection.h"
#include "offline/localstore.h"
#include "settlement/ui/businessdatedialog.h"

#include "fakeclock.h"
#include "fakeshopservice.h"
#include "recordingmessages.h"

using namespace vorel;

namespace {

class SlipNumbersTest : public ::testing::Test {
protected:
    SlipNumbersTest() : settings(home.filePath(QStringLiteral("VOREL.DLL")))
    {
        session.terminal.terminalId = QStringLiteral("001");
        session.connection.net = 0;
    }

    QTemporaryDir home;
    TerminalSettings settings;
    Session session;
    RecordingMessages messages;
};

TEST_F(SlipNumbersTest, StartLoadsAdvancesAndSavesTheCounter)
{
    const struct {
        std::optional<int> stored;
        QList<bool> advances;
        const char *number;
        int saved;
    } cases[] = {
        {std::nullopt, {false}, "00110000000", 10000000},
        {std::nullopt, {false, true}, "00110000001", 10000001},
        {10000042, {false, true, true}, "00110000044", 10000044},
        // The counter is loaded once; a later change of the file does not pull it back.
        {10000042, {true, false}, "00110000043", 10000043},
    };
    for (const auto &c : cases) {
        QFile::remove(settings.path());
        if (c.stored) {
            ASSERT_TRUE(settings.setSlipCounter(*c.stored));
        }
        SlipNumbers numbers(session, settings, messages);
        EXPECT_EQ(numbers.counter(), 0);
        for (bool advance : c.advances)
            numbers.start(advance);
        EXPECT_EQ(numbers.number(), QString::fromLatin1(c.number));
        EXPECT_EQ(settings.slipCounter(), c.saved);
    }
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(SlipNumbersTest, AnUnwritableSettingsFileIsReportedAndTheCounterGoesOnInMemory)
{
    // A folder where the file should be: nothing can be written under that name.
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("VOREL.DLL")));
    SlipNumbers numbers(session, settings, messages);
    numbers.start(false);
    numbers.start(true);
    EXPECT_EQ(numbers.number(), QStringLiteral("00110000001"));
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(messages.shown[0].kind, Messages::Kind::Notice);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("系统无法将单号写入ini文件，请检查软件的目录是否可写!\r\n"
                             "如果你使用了离线功能，没有保存单号有可能会造成离线单据无法上传!"));
}

TEST_F(SlipNumbersTest, TheRepairMovesPastTheHighestNumberOfThisTerminal)
{
    const struct {
        QVariant highest; // what max(noid) answers
        qint64 repaired;
        bool movesForward; // from counter 10000003
    } cases[] = {
        {QVariant(), 10000001, false},
        {QStringLiteral("00110000005"), 10000006, true},
        {QStringLiteral("00110000003"), 10000004, true},
        {QStringLiteral("00110000001"), 10000002, false},
        {QStringLiteral("001100000000"), 100000001, true}, // a counter past eight digits
    };
    const QString sql = QStringLiteral("select max(noid) as noid from d712 where noid like '001%'");
    EXPECT_EQ(SlipNumbers::maxNumberSql(QStringLiteral("001")), sql);
    LocalStore store(home.filePath(QStringLiteral("unused")));
    for (const auto &c : cases) {
        FakeShopService shop;
        ResultSet rows({{QStringLiteral("noid"), FieldType::Text}});
        rows.appendRow({c.highest});
        shop.onOpen(sql, rows);
        Connection connection(session, shop, store);

        ASSERT_TRUE(settings.setSlipCounter(10000003));
        SlipNumbers repaired(session, settings, messages);
        repaired.start(false);
        repaired.repair(connection);
        EXPECT_EQ(repaired.counter(), c.repaired);

        SlipNumbers forward(session, settings, messages);
        forward.start(false);
        EXPECT_EQ(forward.moveForward(connection), c.movesForward);
        EXPECT_EQ(forward.counter(), c.movesForward ? c.repaired : 10000003);
        EXPECT_EQ(shop.calls(FakeShopService::CallKind::Open).size(), 2);
    }
}

TEST_F(SlipNumbersTest, OfflineTheRepairReadsTheLocalStore)
{
    const QString path = home.filePath(QString::fromLatin1(LocalStoreFileName));
    ASSERT_TRUE(QFile::copy(LocalStore::shippedCleanCopy(), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    LocalStore store(path);
    store.open();
    for (const char *noid : {"00110000007", "00210000009"})
        store.execute(QStringLiteral("INSERT INTO D712 (NOID, BDATE) VALUES ('%1', '2026-12-05 10:00:00')")
                          .arg(QLatin1String(noid)));
    FakeShopService shop;
    session.connection.offline = true;
    Connection connection(session, shop, store);
    SlipNumbers numbers(session, settings, messages);
    numbers.start(false);
    numbers.repair(connection);
    EXPECT_EQ(numbers.number(), QStringLiteral("00110000008"));
    EXPECT_TRUE(shop.calls().isEmpty());
}

TEST(BusinessDate, AutomaticFollowsTheClockAndAChosenDateStays)
{
    FakeClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 30, 15)));
    BusinessDate date(clock);
    EXPECT_TRUE(date.automatic());
    EXPECT_EQ(date.text(), QStringLiteral("2026-12-05 10:30:15"));

    clock.advanceSeconds(60);
    EXPECT_EQ(date.forSlip(), QStringLiteral("2026-12-05 10:31:15"));

    date.choose(false, QDate(2024, 3, 1));
    clock.advanceSeconds(3600);
    EXPECT_EQ(date.forSlip(), QStringLiteral("2024-03-01"));
    EXPECT_EQ(date.forSlip(), QStringLiteral("2024-03-01"));
    EXPECT_FALSE(date.dialogChoice().automatic);
    EXPECT_EQ(date.dialogChoice().picker, QDateTime(QDate(2024, 3, 1), QTime(0, 0)));

    // Back to automatic: the label shows the picker's date until the next slip takes the time.
    date.choose(true, QDate(2024, 3, 1));
    EXPECT_EQ(date.text(), QStringLiteral("2024-03-01"));
    EXPECT_EQ(date.forSlip(), QStringLiteral("2026-12-05 11:31:15"));
}

TEST(BusinessDateDialog, OpensOnTheCurrentChoiceAndOkHandsTheNewOneOver)
{
    FakeClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 30, 15)));
    BusinessDate date(clock);
    BusinessDateDialog dialog;
    dialog.prepare(date);
    EXPECT_TRUE(dialog.automaticButton()->isChecked());
    EXPECT_EQ(dialog.picker()->date(), QDate(2026, 12, 5));

    // The cashier picks 1 March 2024 and presses OK.
    QTimer::singleShot(0, &dialog, [&dialog] {
        dialog.chosenDateButton()->click();
        dialog.picker()->setDate(QDate(2024, 3, 1));
        dialog.findChild<QPushButton *>(QStringLiteral("btn_ok"))->click();
    });
    EXPECT_TRUE(dialog.ask(date));
    EXPECT_FALSE(date.automatic());
    EXPECT_EQ(date.forSlip(), QStringLiteral("2024-03-01"));

    // Reopened it shows that choice; Cancel after switching back changes nothing.
    QTimer::singleShot(0, &dialog, [&dialog] {
        EXPECT_TRUE(dialog.chosenDateButton()->isChecked());
        EXPECT_EQ(dialog.picker()->date(), QDate(2024, 3, 1));
        dialog.automaticButton()->click();
        dialog.findChild<QPushButton *>(QStringLiteral("btn_Cancel"))->click();
    });
    EXPECT_FALSE(dialog.ask(date));
    EXPECT_FALSE(date.automatic());
    EXPECT_EQ(date.text(), QStringLiteral("2024-03-01"));
}

} // namespace
