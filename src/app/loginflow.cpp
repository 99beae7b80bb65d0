#include "app/loginflow.h"

#include <QNetworkInterface>
#include <QScopeGuard>

#include "app/loginrecord.h"
#include "core/clock.h"
#include "core/messages.h"
#include "core/session.h"
#include "core/shopservice.h"
#include "core/terminalsettings.h"
#include "core/text.h"
#include "offline/connection.h"

namespace vorel {

const QString LoginFlow::NoServerText = QStringLiteral("请输入服务器名称或IP地址!");
const QString LoginFlow::NoUserText = QStringLiteral("请输入用户号");
const QString LoginFlow::ServerFailedText = QStringLiteral("连接服务器失败!");
const QString LoginFlow::WrongPasswordText = QStringLiteral("用户或密码错误,请重新输入!");
const QString LoginFlow::NoOfflineDataText =
    QStringLiteral("系统无离线数据!原因：1、您至少与服务器进行一次同步数据!2、最后一次与服务器同步不成功!");
const QString LoginFlow::TerminalDisabledText = QStringLiteral("该终端机已被停用!请联系管理员!");
const QString LoginFlow::DateSyncedText = QStringLiteral("本机日期和服务器日期不相符!已将本机日期同步为服务器日期:");
const QString LoginFlow::NoWarehouseText =
    QStringLiteral("您没有读写仓库的权限,需要管理员授权至少一个以上【仓库】的读写权限!");
const QString LoginFlow::NoTillRightText = QStringLiteral("您没有收银的权限!请与系统管理员联系!");
const QString LoginFlow::SupplierResolvesText = QStringLiteral("由供应商服务器解析IP地址");
const QString LoginFlow::StandAloneText = QStringLiteral("单机版");
const QString LoginFlow::RepairNeedsPasswordText =
    QStringLiteral("【离线数据库修复】需要权限的验证，请使用拥有该权限的用户并录入正确的密码!");
const QString LoginFlow::NoRepairRightText = QStringLiteral("您没有【离线数据库修复】的权限!请与系统管理员联系!");

namespace {

constexpr int ConnectTimeoutMs = 5000;
const QString NoShiftNotice = QStringLiteral("本机未启用【当班】功能!");

bool endsStandAlone(const QString &serverText)
{
    return serverText.endsWith(QLatin1String(",1"));
}

} // namespace

ServerAddress parseServerText(const QString &text, int dataPort)
{
    ServerAddress address;
    address.port = dataPort;
    if (endsStandAlone(text)) {
        address.standAlone = true;
        address.host = QStringLiteral("127.0.0.1");
        return address;
    }
    const qsizetype comma = text.indexOf(QLatin1Char(','));
    if (comma < 0) {
        address.host = text.trimmed();
        return address;
    }
    address.host = text.left(comma).trimmed();
    bool isNumber = false;
    const int port = text.mid(comma + 1).trimmed().toInt(&isNumber);
    if (isNumber && port > 100)
        address.port = port;
    return address;
}

QString LoginFlow::standAloneFailureText(const QString &error)
{
    return QStringLiteral("系统运行错误：\r\n") + error + QStringLiteral("\r\n")
           + QStringLiteral("请先关闭软件，重新运行一次即可正常运行，如重新运行后还报错误，请按以下方法解决：\r\n")
           + QStringLiteral("原因可能是以下其中一个：\r\n")
           + QStringLiteral("1、您是否安装在中文路径下？（如：d:\\软件\\服装软件\\）中文路径可能会造成数据库无法启动。\r\n")
           + QStringLiteral("2、软件启动时某些杀软，防火墙会报毒或开启(8666端口)之类提示，如果您禁止了，同样会造成数据库无法运行。\r\n")
           + QStringLiteral("\r\n") + QStringLiteral("快速解决办法：\r\n")
           + QStringLiteral("重新安装一份软件路径选择D:\\VOREL\\下，重新运行软件，当杀毒软件报开启8666端口时选择允许。\r\n");
}

QString LoginFlow::offlineQuery(const QString &userId, const QString &passwordMd5)
{
    // Quotes in the user number are doubled: the number typed must not end the text.
    QString user = userId;
    user.replace(QLatin1Char('\''), QLatin1String("''"));
    QString digest = passwordMd5;
    digest.replace(QLatin1Char('\''), QLatin1String("''"));
    return QStringLiteral("SELECT * FROM (SELECT 0 AS I,user_id,user_name,pos_qs FROM SYS_USER where (t=1) and user_id='")
           + user + QStringLiteral("' and password='") + digest + QStringLiteral("') A LEFT JOIN ")
           + QStringLiteral("(select 0 AS J, ")
           + QStringLiteral("AA.CK_ID,AA.CK_NAME,AA.ZD_ID,AA.ZD_NAME,AA.DB,AA.T AS ZD_T,AA.ZD_KEY,sys_co.param from SYS_CO "
                            "CROSS JOIN ")
           + QStringLiteral("(SELECT D701.*, D1007.CK_NAME FROM D701 INNER JOIN  D1007 ON D701.CK_ID = D1007.CK_ID) AA ")
           + QStringLiteral(") CC ON A.I=CC.J ");
}

QString LoginFlow::warehouseQuery(const QString &userId)
{
    return QStringLiteral("if exists (select top 1 ck_qs from sys_co  where ck_qs=1) select CK_ID, CK_NAME FROM VIEW_CK  "
                          "where (user_id='")
           + QString(userId).replace(QLatin1Char('\''), QLatin1String("''")) + QStringLiteral("')  else select ck_id,ck_name from d1007 ");
}

LoginFlow::LoginFlow(Session &session, TerminalSettings &settings, UserPreferences &prefs, Clock &clock,
                     Messages &messages, ShopLink &link, TerminalRegistration &registration)
    : session_(session), settings_(settings), prefs_(prefs), clock_(clock), messages_(messages), link_(link),
      registration_(registration), computerName_(getLocalName())
{
}

QString LoginFlow::repairTerminalKey()
{
    QString address = QStringLiteral("VOREL");
    for (const QNetworkInterface &i : QNetworkInterface::allInterfaces()) {
        if (!(i.flags() & QNetworkInterface::IsLoopBack) && !i.hardwareAddress().isEmpty()) {
            address = i.hardwareAddress();
            break;
        }
    }
    return address.remove(QLatin1Char('\'')).left(29);
}

LoginScreen LoginFlow::prepare()
{
    LoginScreen screen;
    const QString warehouse = settings_.warehouseName();
    const QString posId = settings_.posId();
    screen.terminal = warehouse.isEmpty() ? posId : QLatin1Char('(') + warehouse + QLatin1Char(')') + posId;

    Connection &connection = link_.connection();
    screen.lastSync = settings_.lastSyncTime();
    if (!screen.lastSync.isEmpty()) {
        screen.showPending = true;
        ResultSet count;
        if (connection.openServerSql(count, QStringLiteral("select count(*) as c from d712 WHERE T=0"), true)
            && count.first())
            screen.pendingSlips = count.field(0).asString();
    }

    const QString shiftNotice = settings_.shiftNotice();
    if (shiftNotice.isEmpty()) {
        ResultSet duty;
        if (connection.openServerSql(duty, QStringLiteral("select * from db_info "), true) && duty.first())
            screen.onDuty = duty.field(QStringLiteral("user_id")).asString() + QStringLiteral("   ")
                            + duty.field(QStringLiteral("bdate")).asDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm"));
    } else {
        screen.onDuty = shiftNotice;
    }

    screen.user = prefs_.user();
    if (session_.connection.net == 0) {
        if (settings_.serverResolvedBySupplier()) {
            screen.serverEnabled = false;
            screen.server = SupplierResolvesText;
        } else {
            screen.serverEnabled = !settings_.serverFieldLocked();
            screen.server = prefs_.server();
        }
    } else {
        screen.networkButtons = false;
        screen.serverEnabled = false;
        screen.server = StandAloneText;
    }
    return screen;
}

void LoginFlow::remember(const QString &userId, const QString &serverText)
{
    prefs_.setUser(userId);
    if (!settings_.serverResolvedBySupplier() && session_.connection.net == 0)
        prefs_.setServer(serverText);
}

NetworkSettings LoginFlow::networkSettings() const
{
    const ServerAddress address = parseServerText(prefs_.server(), settings_.dataPort());
    return {address.host, address.port, !settings_.serverResolvedBySupplier()};
}

void LoginFlow::saveNetworkSettings(const NetworkSettings &network)
{
    if (settings_.serverResolvedBySupplier())
        return;
    const QString host = network.host.trimmed();
    const bool dataPort = host.isEmpty() || network.port == settings_.dataPort();
    prefs_.setServer(dataPort ? host : host + QLatin1Char(',') + QString::number(network.port));
}

LocalStore &LoginFlow::localStore()
{
    return link_.connection().store();
}

void LoginFlow::notice(const QString &text)
{
    messages_.notice(text);
}

LoginFlow::Result LoginFlow::stop(const QString &text, Focus focus)
{
    messages_.notice(text);
    return {Status::Stopped, focus};
}

template <typename Body>
LoginFlow::Result LoginFlow::exclusively(Body body)
{
    if (inProgress_)
        return {Status::Ignored, Focus::None};
    inProgress_ = true;
    const auto done = qScopeGuard([this] { inProgress_ = false; });
    return body();
}

LoginFlow::Result LoginFlow::login(Mode mode, const QString &serverText, const QString &userId,
                                   const QString &password)
{
    return exclusively([&] { return run(mode, serverText, userId, password); });
}

LoginFlow::Result LoginFlow::checkRepair(const QString &serverText, const QString &userId, const QString &password)
{
    return exclusively([&]() -> Result {
        if (auto refused = checkFields(true, serverText, userId))
            return *refused;
        const QString terminalKey = repairTerminalKey();
        const QString passwordMd5 = getMD5(password);
        ResultSet row;
        if (auto refused = connectServer(serverText, userId, passwordMd5, terminalKey))
            return *refused;
        if (auto refused = askServer(userId, passwordMd5, terminalKey, row))
            return *refused;
        if (!row.first())
            return stop(RepairNeedsPasswordText, Focus::PasswordSelected);
        if (!CashierRights(row.field(QStringLiteral("pos_qs")).asString()).has(CashierRight::RepairLocalStore))
            return stop(NoRepairRightText);
        return {Status::Passed, Focus::None};
    });
}

std::optional<LoginFlow::Result> LoginFlow::checkFields(bool online, const QString &serverText, const QString &userId)
{
    Session::Connection &state = session_.connection;
    if (state.net == 0 && online && serverText.trimmed().isEmpty())
        return stop(NoServerText, Focus::Server);
    if (userId.isEmpty())
        return stop(NoUserText, Focus::User);
    // A user number the shop cannot hold goes to neither database.
    if (userId.size() > MaxUserIdLength || hasControlCharacter(userId))
        return stop(WrongPasswordText, Focus::User);

    state.checkYWGJ = QStringLiteral("3");
    state.dbName = settings_.posDb();
    state.socketConnPort = settings_.dataPort();
    state.indyTcpPort = settings_.msgPort();
    return std::nullopt;
}

std::optional<LoginFlow::Result> LoginFlow::connectServer(const QString &serverText, const QString &userId,
                                                          const QString &passwordMd5, const QString &terminalKey)
{
    Session::Connection &state = session_.connection;
    session_.identity.pwdMd5 = passwordMd5;
    session_.identity.macAdd = terminalKey;
    session_.identity.userId = userId;

    const ServerAddress address = parseServerText(serverText, state.socketConnPort);
    if (address.standAlone) {
        state.server = address.host;
        state.net = 1;
    } else if (state.net == 0) {
        state.server = link_.resolveHost(address.host);
        state.socketConnPort = address.port;
    }
    if (state.net == 0) {
        if (!link_.connect(state.server, state.socketConnPort, ConnectTimeoutMs))
            return stop(ServerFailedText);
    } else {
        link_.startStandAlone();
    }
    return std::nullopt;
}

std::optional<LoginFlow::Result> LoginFlow::askServer(const QString &userId, const QString &passwordMd5,
                                                      const QString &terminalKey, ResultSet &row)
{
    const LoginReply reply =
        link_.service().thrGetLogin(LoginRequest{userId, passwordMd5, terminalKey, session_.connection.dbName});
    if (!reply.reachable)
        return stop(ServerFailedText);
    row = reply.rows;
    const bool databaseFailed = row.columnCount() > 0
                                && row.column(0).name.compare(QLatin1String("ERRID"), Qt::CaseInsensitive) == 0;
    if (session_.connection.net != 0 && databaseFailed) {
        row.first();
        return stop(standAloneFailureText(row.field(QStringLiteral("ERRMSG")).asString()));
    }
    // The service refused the user outright (no till right, too many wrong passwords): its
    // text says why.
    if (!reply.refusal.isEmpty())
        return stop(reply.refusal);
    return std::nullopt;
}

LoginFlow::Result LoginFlow::run(Mode mode, const QString &serverText, const QString &userId,
                                 const QString &password)
{
    Session::Connection &state = session_.connection;
    const bool offline = mode == Mode::Offline;
    if (auto refused = checkFields(!offline, serverText, userId))
        return *refused;
    const QString terminalKey = settings_.macAddress();
    const QString passwordMd5 = getMD5(password);
    state.loginOnline = !offline;

    ResultSet row;
    QString loginTime;
    if (offline) {
        Connection &connection = link_.connection();
        connection.setOffline(true);
        loginTime = sqlQuote(formatDateTime(clock_.now()));
        if (!connection.openServerSql(row, offlineQuery(userId, passwordMd5), true) || !row.first()) {
            ResultSet company;
            const bool hasData =
                connection.openServerSql(company, QStringLiteral("select * from SYS_CO "), true) && company.first();
            return stop(hasData ? WrongPasswordText : NoOfflineDataText, Focus::PasswordSelected);
        }
    } else {
        loginTime = QStringLiteral("getdate()");
        if (auto refused = connectServer(serverText, userId, passwordMd5, terminalKey))
            return *refused;
        Connection &connection = link_.connection();
        connection.setOffline(false);
        if (auto refused = askServer(userId, passwordMd5, terminalKey, row))
            return *refused;
        if (!row.first())
            return stop(WrongPasswordText, Focus::PasswordSelected);
        if (row.field(QStringLiteral("ZD_T")).asBool())
            return stop(TerminalDisabledText);

        if (state.net == 0) {
            const QDateTime serverDate = row.field(QStringLiteral("serverdate")).asDateTime();
            if (serverDate.isValid() && serverDate.date() != clock_.now().date()) {
                clock_.setSystemTime(serverDate);
                messages_.notice(DateSyncedText + formatDate(serverDate.date()));
            }
        }
        if (row.field(QStringLiteral("ZD_KEY")).asString() != terminalKey) {
            ResultSet warehouses;
            if (!connection.openServerSql(warehouses, warehouseQuery(userId)) || warehouses.rowCount() == 0)
                return stop(NoWarehouseText);
            // A registration that went through stores the new key; the cashier then logs in
            // again and the login finds this PC's terminal.
            const bool registered = registration_.registerTerminal(userId, warehouses);
            return {Status::Stopped, registered ? Focus::PasswordSelected : Focus::None};
        }
    }

    const QString rights = row.field(QStringLiteral("pos_qs")).asString();
    if (!rights.startsWith(QLatin1Char('1')))
        return stop(NoTillRightText);

    session_.identity.userId = userId;
    session_.identity.userName = row.field(QStringLiteral("user_name")).asString();
    SessionStart start;
    start.terminalId = row.field(QStringLiteral("ZD_ID")).asString();
    start.terminalName = row.field(QStringLiteral("ZD_NAME")).asString();
    start.warehouseId = row.field(QStringLiteral("CK_ID")).asString();
    start.warehouseName = row.field(QStringLiteral("CK_NAME")).asString();
    start.shiftEnabled = row.field(QStringLiteral("DB")).asBool();
    start.rights = rights;
    start.companyParams = row.field(QStringLiteral("param")).asString();

    settings_.setPosId(start.terminalId + QLatin1Char(' ') + start.terminalName);
    settings_.setShiftNotice(start.shiftEnabled ? QString() : NoShiftNotice);

    start.loginGuid = getGuid();
    session_.startSession(start);

    if (state.net == 1 || offline) {
        LoginRecord(link_.connection(), clock_)
            .open(userId, loginTime, (QStringLiteral("POS:") + computerName_).left(20), start.loginGuid);
    }
    return {Status::Started, Focus::None};
}

} // namespace vorel
