#include "offline/syncdesk.h"

#include "core/session.h"
#include "core/terminalsettings.h"
#include "offline/connection.h"

namespace vorel {

const QString SyncDesk::OfflineRefusedText = QStringLiteral("服务器设定终端不可使用离线功能!");
const QString SyncDesk::WhileOfflineText = QStringLiteral("系统是离线状态,不可使用同步功能!");
const QString SyncDesk::StandAloneText = QStringLiteral("单机版本不可使用同步功能!");
const QString SyncDesk::NoRightText = QStringLiteral("您无权使用同步功能!");
const QString SyncDesk::ManualDoneText = QStringLiteral("成功与服务器同步离线数据!");
const QString SyncDesk::SwitchedOfflineText = QStringLiteral("系统已切换成离线使用!");
const QString SyncDesk::AutoDownloadFailedText = QStringLiteral("与服务器同步数据错误!您将不能使用离线系统!");
const QString SyncDesk::AutoUploadFailedText = QStringLiteral("离线数据上传错误!");
const QString SyncDesk::AutoDoneText = QStringLiteral("成功与服务器同步数据!");
const QString SyncDesk::SaleOpenText = QStringLiteral("当前还有未处理的销售业务!请处理后再进行查询!");

const QString RecentSlips::DeleteQuestion =
    QStringLiteral("离线上传会造成负库存才会使用删除功能，是否删除当前离线单据？");

SyncDesk::SyncDesk(Connection &connection, TerminalSettings &settings, OfflineScreens &screens)
    : connection_(connection), settings_(settings), screens_(screens)
{
}

SyncTerminal SyncDesk::terminal() const
{
    const Session &s = connection_.session();
    return {s.terminal.warehouseId, s.terminal.terminalId, settings_.shiftKeepDays(), settings_.slipKeepDays()};
}

QString SyncDesk::synchroniseOnRequest(bool mayUse)
{
    switchedOffline_ = false;
    const Session::Connection &c = connection_.session().connection;
    if (!c.offlineAllowed)
        return OfflineRefusedText;
    if (connection_.isOffline())
        return WhileOfflineText;
    if (c.net == 1)
        return StandAloneText;
    if (!mayUse)
        return NoRightText;
    const SyncOutcome outcome = screens_.synchronise(terminal(), false);
    if (outcome.closed == SyncOutcome::Synchronised)
        return ManualDoneText + outcome.summary;
    if (outcome.closed == SyncOutcome::SwitchedOffline) {
        connection_.session().connection.loginOnline = false;
        connection_.setOffline(true);
        switchedOffline_ = true;
        return SwitchedOfflineText;
    }
    return {};
}

std::optional<QString> SyncDesk::synchroniseAtStart(bool downloadAfterLogin)
{
    const Session::Connection &c = connection_.session().connection;
    if (!c.offlineAllowed || !downloadAfterLogin || c.net != 0 || connection_.isOffline())
        return std::nullopt;
    const SyncOutcome outcome = screens_.synchronise(terminal(), true);
    if (outcome.result == Synchroniser::DownloadFailed)
        return AutoDownloadFailedText;
    if (outcome.result == Synchroniser::UploadFailed)
        return AutoUploadFailedText;
    return AutoDoneText + outcome.summary;
}

std::optional<QString> SyncDesk::chooseSlip(bool saleEmpty, bool mayQuery, QString *refusal)
{
    if (!saleEmpty) {
        *refusal = SaleOpenText;
        return std::nullopt;
    }
    if (!mayQuery) {
        *refusal = QStringLiteral("您无权使用该功能!");
        return std::nullopt;
    }
    const QString id = connection_.session().terminal.terminalId;
    return screens_.chooseSlip(id, id);
}

RecentSlips::RecentSlips(Connection &connection) : connection_(connection) {}

void RecentSlips::load(const QString &terminalId)
{
    QString id = terminalId;
    id.replace(QLatin1Char('\''), QLatin1String("''"));
    const QString server = QStringLiteral("select * from (SELECT top 10 NOID, BDATE, S1,S2,S3,S4,S5, S6, S7 FROM D712 "
                                          "WHERE (D712.ZD_ID='%1') order by d712.noid desc) tmp order by noid")
                               .arg(id);
    const QString local = QStringLiteral("select * from (SELECT NOID, BDATE, S1,S2,S3,S4,S5, S6, S7 FROM D712 order by "
                                         "d712.noid desc Limit 10 ) tmp order by noid");
    if (connection_.isOffline())
        connection_.openServerSql(rows_, local, true);
    else
        connection_.openServerSql(rows_, server, false, {}, local);
}

bool RecentSlips::offline() const
{
    return connection_.isOffline();
}

bool RecentSlips::canDelete() const
{
    return connection_.isOffline() && rows_.totalRowCount() > 0;
}

bool RecentSlips::remove(int row)
{
    if (row < 0 || row >= rows_.totalRowCount())
        return false;
    QString noid = rows_.fieldAt(row, rows_.columnIndex(QStringLiteral("NOID"))).asString();
    noid.replace(QLatin1Char('\''), QLatin1String("''"));
    const QString reply = connection_.execServerSql(
        {}, QStringLiteral("delete from d712a where noid='%1';delete from d712 where noid='%1';").arg(noid), Route::Local);
    if (reply != ReplyOk)
        return false;
    rows_.removeRawRow(row);
    return true;
}

} // namespace vorel
