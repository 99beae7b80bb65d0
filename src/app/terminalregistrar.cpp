#include "app/terminalregistrar.h"

#include <QRandomGenerator>

#include "app/loginflow.h"
#include "core/messages.h"
#include "core/session.h"
#include "core/shopservice.h"
#include "core/terminalsettings.h"
#include "core/text.h"
#include "offline/connection.h"

namespace vorel {

const QString TerminalRegistrar::BadNumberText = QStringLiteral("编号必须是一个三位的数字!");
const QString TerminalRegistrar::NoWarehousesText =
    QStringLiteral("系统没有登记仓库,您在仓库基础资料至少定义一个仓库!");
const QString TerminalRegistrar::NoWarehouseChosenText = QStringLiteral("您必须指定一个终端仓库!");
const QString TerminalRegistrar::KeyRequiredText =
    QStringLiteral("已存在的终端编号!请重新指定一个编号，或者录入该终端号的验证码(不可为空)!");
const QString TerminalRegistrar::WrongKeyText = QStringLiteral("录入的验证码不符，请重新录入!");
const QString TerminalRegistrar::ClearQuestionText =
    QStringLiteral("成功注册终端信息!请重新登录! 是否清除离线数据？\r\n"
                   "如果现在开始正式使用，请选择[是],如果有未上传的离线数据，请选取择[否]");

const QString TerminalRegistrar::TerminalListSql = QStringLiteral("SELECT ZD_ID, ZD_NAME, CK_ID, BDATE FROM D701");
const QString TerminalRegistrar::ProposalSql = QStringLiteral("SELECT MAX(ZD_ID) + 1 AS a FROM D701");
const QString TerminalRegistrar::ClearLocalSql =
    QStringLiteral("delete from sys_co;delete from db_info;delete from d712a;delete from d712;delete from d703;"
                   "delete from sys_user;");

namespace {

// Numbers below this are never proposed: the first till of a shop is 100.
constexpr int FirstProposedNumber = 100;
constexpr int NumberLength = 3;
constexpr int CounterLength = 8;
constexpr int FirstSlipCounter = 10000000;
constexpr int KeyDrawBound = 10000;

} // namespace

QString TerminalRegistrar::terminalSql(const QString &number)
{
    return QStringLiteral("SELECT * FROM D701 WHERE ZD_ID=") + sqlQuote(number);
}

QString TerminalRegistrar::insertSql(const QString &warehouseId, const QString &number, const QString &name,
                                     const QString &key, bool shiftEnabled)
{
    return QStringLiteral("insert into d701(CK_ID, ZD_ID, ZD_NAME, ZD_KEY,db, BDATE, EDATE) values (")
           + sqlQuote(warehouseId) + QLatin1Char(',') + sqlQuote(number) + QLatin1Char(',') + sqlQuote(name)
           + QLatin1Char(',') + sqlQuote(key) + QLatin1Char(',') + sqlQuote(boltos(shiftEnabled))
           + QStringLiteral(",getdate(),getdate());");
}

QString TerminalRegistrar::lastSlipSql(const QString &number)
{
    return QStringLiteral("SELECT MAX(NOID) AS NOID FROM D712 WHERE (NOID LIKE ") + sqlQuote(number + QLatin1Char('%'))
           + QLatin1Char(')');
}

int TerminalRegistrar::nextSlipCounter(const Field &lastSlip)
{
    if (lastSlip.isNull())
        return FirstSlipCounter;
    // The slip number is the terminal number followed by the counter.
    return lastSlip.asString().mid(NumberLength, CounterLength).toInt() + 1;
}

TerminalRegistrar::TerminalRegistrar(ShopService &shop, Connection &connection, TerminalSettings &settings,
                                     Messages &messages, KeyDraw draw)
    : shop_(shop), connection_(connection), settings_(settings), messages_(messages), draw_(std::move(draw))
{
    if (!draw_)
        draw_ = [] { return static_cast<int>(QRandomGenerator::global()->bounded(KeyDrawBound)); };
}

bool TerminalRegistrar::prepare(const ResultSet &warehouses)
{
    warehouses_ = warehouses;
    ResultSet highest;
    if (!shop_.posOpenSql(terminals_, TerminalListSql) || !shop_.posOpenSql(highest, ProposalSql)) {
        messages_.failure(LoginFlow::ServerFailedText);
        return false;
    }
    const qint64 next = highest.first() ? highest.field(0).asInt() : 0;
    proposal_ = QString::number(next < FirstProposedNumber ? FirstProposedNumber : next);
    return true;
}

QString TerminalRegistrar::firstWarehouse() const
{
    const int id = warehouses_.columnIndex(QStringLiteral("CK_ID"));
    return id >= 0 && warehouses_.totalRowCount() > 0 ? warehouses_.fieldAt(0, id).asString() : QString();
}

TerminalRegistrar::Outcome TerminalRegistrar::refuse(const QString &text, Focus focus)
{
    messages_.notice(text);
    Outcome outcome;
    outcome.focus = focus;
    return outcome;
}

TerminalRegistrar::Outcome TerminalRegistrar::fail(const QString &text)
{
    messages_.failure(text);
    Outcome outcome;
    outcome.status = Status::Failed;
    return outcome;
}

TerminalRegistrar::Outcome TerminalRegistrar::confirm(const Entry &entry)
{
    const QString number = entry.number.trimmed();
    if (number.size() != NumberLength)
        return refuse(BadNumberText);
    if (warehouses_.totalRowCount() == 0)
        return refuse(NoWarehousesText);
    if (entry.warehouseId.isEmpty())
        return refuse(NoWarehouseChosenText);

    Outcome outcome;
    outcome.name = entry.name;
    outcome.shiftEnabled = entry.shiftEnabled;
    // Every attempt draws a fresh key; the terminal number at its end names the till.
    outcome.key = QString::number(draw_()) + number;

    ResultSet existing;
    if (!shop_.posOpenSql(existing, terminalSql(number)))
        return fail(LoginFlow::ServerFailedText);
    if (existing.first()) {
        const QString key = existing.field(QStringLiteral("ZD_KEY")).asString();
        if (entry.key.isEmpty())
            return refuse(KeyRequiredText);
        if (entry.key != key)
            return refuse(WrongKeyText, Focus::Key);
        // Taking the number over: this PC inherits the row as it stands.
        outcome.tookOver = true;
        outcome.key = key;
        outcome.name = existing.field(QStringLiteral("ZD_NAME")).asString();
        outcome.shiftEnabled = existing.field(QStringLiteral("DB")).asBool();
    } else {
        const QString reply =
            shop_.posExecSql(opcode::Plain, QString(), QString(),
                             insertSql(entry.warehouseId, number, entry.name, outcome.key, entry.shiftEnabled),
                             connection_.session().connection.serverTimeoutSeconds);
        if (reply != ReplyOk)
            return fail(reply);
    }

    ResultSet lastSlip;
    if (!shop_.posOpenSql(lastSlip, lastSlipSql(number)))
        return fail(LoginFlow::ServerFailedText);
    outcome.slipCounter = nextSlipCounter(lastSlip.first() ? lastSlip.field(0) : Field());

    // Settings failures are ignored like everywhere else: the next login simply asks again.
    settings_.setSlipCounter(outcome.slipCounter);
    settings_.setMacAddress(outcome.key);
    outcome.status = Status::Registered;

    if (messages_.ask(ClearQuestionText))
        connection_.execServerSql({opcode::Plain, QStringLiteral("E")}, ClearLocalSql, Route::Local);
    return outcome;
}

} // namespace vorel
