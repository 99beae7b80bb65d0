// A till for the status page's browser test: a real network client of vorel-server that
// logs in, announces itself, keeps alive and commits cash slips when told on standard input.
//
//   statuspage_till HOST PORT MSGPORT USER TERMINAL_KEY
//   connect UNSENT | keepalive UNSENT | sell NOID AMOUNT | quit
//
// Each command is answered with one line: "ok" or "error <what>".

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QTextStream>
#include <cstdio>

#include "core/money.h"
#include "core/resultset.h"
#include "server/remoteshopservice.h"

using namespace vorel;

namespace {

struct Till {
    QString user;
    QString terminalId;
    QString warehouseId;
};

// The settlement batch of a cash sale of one unit at `amount`, as the till builds it online.
QString slipBatch(const Till &till, const QString &noid, Money amount)
{
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    const QString due = formatFixed(amount, 10, 2);
    return QStringLiteral("IF NOT EXISTS (SELECT CK_END_DATE from sys_co where ('%1'>CK_END_DATE) and ('%1'< "
                          "(CK_END_DATE + 37))) RAISERROR('开单日期不在进销存期间内!', 16, 1); "
                          "INSERT INTO D712 (NOID, CK_ID,ZD_ID, CLASSID, VIPID,VIPZK, yw_id,BDATE,USER_ID,S1,S2,S3,S4,"
                          "S5,S6,S7, NOTE) VALUES ('%2','%3','%4','1',NULL,1,NULL,'%1','%5',%6,      0.00,      0.00,"
                          "      0.00,      0.00,0%7,      0.00,NULL);"
                          "INSERT INTO D712A (NOID, WL_ID, XH,CK_ID, S2, SJ, SMONEY,ODJ, OMONEY, ZK,G,FLAG1,FLAG2,"
                          "FLAG3, NOTE,VIPF) VALUES ('%2','TX00101','1','%3','1','%8','%8','%8','%8','1','0','0','0',"
                          "'0','',1);"
                          "UPDATE D712A SET DJ = B.DJ,MONEY=B.DJ*(S0+S1+S2+S3+S4+S5+S6+S7+S8+S9) FROM (SELECT "
                          "D1801.WL_ID, D1800.DJ  FROM D1800 INNER JOIN  D1801 ON D1800.K_ID = D1801.K_ID  GROUP BY "
                          "D1801.WL_ID, D1800.DJ) B WHERE D712A.WL_ID = B.WL_ID and d712a.noid='%2'")
        .arg(now, noid, till.warehouseId, till.terminalId, till.user, due, amount.toString(2), amount.toPlainString());
}

void answer(const QString &line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6) {
        std::fprintf(stderr, "usage: statuspage_till HOST PORT MSGPORT USER TERMINAL_KEY\n");
        return 2;
    }
    RemoteShopService service(RemoteServer{args[1], args[2].toInt(), args[3].toInt(), false, {}}, 5);
    Till till{args[4], {}, {}};
    const QString password =
        QString::fromLatin1(QCryptographicHash::hash(till.user.toUtf8(), QCryptographicHash::Md5).toHex());

    QTextStream in(stdin);
    QString line;
    while (in.readLineInto(&line)) {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString command = words.value(0);
        if (command == QLatin1String("quit"))
            return 0;
        if (command == QLatin1String("connect")) {
            const LoginReply reply = service.thrGetLogin(LoginRequest{till.user, password, args[5], QStringLiteral("CL")});
            if (reply.rows.totalRowCount() != 1) {
                answer(QStringLiteral("error login"));
                continue;
            }
            till.terminalId = reply.rows.field(QStringLiteral("ZD_ID")).asString();
            till.warehouseId = reply.rows.field(QStringLiteral("CK_ID")).asString();
            const QString name = reply.rows.field(QStringLiteral("user_name")).asString();
            const bool sent = service.tcpSend(QStringLiteral("Connect"),
                                              {till.user + QLatin1Char(' ') + name, QStringLiteral("CL test"),
                                               QStringLiteral("0"), QStringLiteral("x"), QStringLiteral("*"),
                                               QStringLiteral("guid"), {}, {}, {}, words.value(1)});
            answer(sent ? QStringLiteral("ok") : QStringLiteral("error connect"));
        } else if (command == QLatin1String("keepalive")) {
            const bool sent = service.tcpSend(QStringLiteral("0"), {QStringLiteral("guid"), till.terminalId, till.user,
                                                                    words.value(1)});
            answer(sent ? QStringLiteral("ok") : QStringLiteral("error keepalive"));
        } else if (command == QLatin1String("sell") && words.size() == 3) {
            const std::optional<Money> amount = Money::parse(words[2]);
            const QString reply = amount ? service.posExecSql(opcode::Slip, words[1], QStringLiteral("Add"),
                                                              slipBatch(till, words[1], *amount), 5)
                                         : QStringLiteral("not an amount");
            answer(reply == ReplyOk ? QStringLiteral("ok") : QStringLiteral("error ") + reply);
        } else {
            answer(QStringLiteral("error unknown command"));
        }
    }
    return 0;
}
