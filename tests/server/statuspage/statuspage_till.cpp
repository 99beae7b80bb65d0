// A till for the status page's browser test: a real network client of vorel-server that
// logs in, announces itself, keeps alive and commits cash slips (built by the till's own
// slip code) when told on standard input.
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
#include "core/session.h"
#include "sales/sale.h"
#include "server/remoteshopservice.h"
#include "settlement/slipbatch.h"

using namespace vorel;

namespace {

struct Till {
    QString user;
    QString terminalId;
    QString warehouseId;
};

// The batch the till sends for a cash sale of one unit at `amount`, built by its own code.
QString slipBatch(const Till &till, const QString &noid, Money amount)
{
    Session::Formats formats;
    formats.amountDecimals = 2;
    Sale sale(formats);
    SaleLine line;
    line.setWlId(QStringLiteral("TX001"));
    line.setDwId(QStringLiteral("01"));
    line.setMIndex(1);
    line.setSl(1);
    line.setOdj(amount.toDouble());
    line.setSj(amount.toDouble());
    line.setSmoney(amount);
    line.setZk(1);
    sale.appendLine(line);
    SlipBatchInput in;
    in.number = noid;
    in.warehouseId = till.warehouseId;
    in.terminalId = till.terminalId;
    in.userId = till.user;
    in.date = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    const QString due = formatFixed(amount, 10, 2);
    const QString none = formatFixed(Money(), 10, 2);
    in.amounts = {due, none, none, none, none, amount.toString(2), none};
    return buildSlipBatch(in, sale).sql;
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
