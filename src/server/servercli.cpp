#include "server/servercli.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <stdexcept>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <pthread.h>
#include <unistd.h>

#include "core/clock.h"
#include "server/selfsigned.h"
#include "server/serverconfig.h"
#include "server/shopbackup.h"
#include "server/shopdatabase.h"
#include "server/servicerole.h"
#include "server/shopserver.h"
#include "sqlengine/engine.h"
#include "sqlengine/textoutput.h"

namespace vorel::server {

namespace {

void print(std::FILE *to, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
}

void say(const QString &line)
{
    print(stderr, QStringLiteral("vorel-server: ") + line + QLatin1Char('\n'));
}

int fail(const QString &message)
{
    say(message);
    return 1;
}

QString shown(const QString &location)
{
    return ShopDatabase::displayLocation(location);
}

const char *usageText =
    "usage:\n"
    "  vorel-server serve --db LOCATION [--host ADDR] [--port 8601] [--msg-port 8602]\n"
    "                     [--threads N] [--queue N] [--tls-cert FILE --tls-key FILE]\n"
    "                     [--log-level info|warning|error]\n"
    "                     [--statement-timeout SECONDS] [--per-address N]\n"
    "  vorel-server init  --db LOCATION [--demo] [--today YYYY-MM-DD] [--styles N] [--force]\n"
    "                     [--role NAME]  (PostgreSQL: the service's own role, grants only)\n"
    "                     [--make-cert FOLDER [--cert-names HOST,ADDRESS,...]]  (self-signed TLS)\n"
    "  vorel-server exec  --db LOCATION (--file FILE | 'SQL')\n"
    "  vorel-server backup  --db LOCATION --to FILE\n"
    "  vorel-server restore --from FILE --db LOCATION\n"
    "LOCATION is a SQLite file or a postgresql:// URI.\n"
    "--config FILE reads long options from FILE, one \"option = value\" a line (\"db = shop.db\");\n"
    "options on the command line win over the file's.\n";

int usage(const QString &problem = {})
{
    if (!problem.isEmpty())
        say(problem);
    std::fputs(usageText, stderr);
    return 2;
}

bool readPort(const QCommandLineParser &args, const QString &name, int &port)
{
    if (!args.isSet(name))
        return true;
    bool ok = false;
    port = args.value(name).toInt(&ok);
    return ok && port >= 0 && port <= 65535;
}

// A superuser can write the server's files and run programs from SQL: the service should
// log in as the role `init --role` makes.
void warnIfSuperuser(const QString &location)
{
    if (!sql::isPostgresLocation(location))
        return;
    try {
        const std::unique_ptr<sql::Backend> db = sql::openBackend(location);
        if (connectedAsSuperuser(*db))
            say(QStringLiteral("WARNING: connected to PostgreSQL as a SUPERUSER. Any statement that gets past the "
                               "service's checks runs with every right on the database server. Make a role with "
                               "`vorel-server init --db LOCATION --role NAME` and serve with the location it prints."));
    } catch (const sql::DbError &e) {
        say(QStringLiteral("WARNING: could not tell whether the database role is a superuser: ") + e.message());
    }
}

// `init --role NAME`: the service's role with its grants, and the location to serve with.
int makeRole(const QString &location, const QString &name)
{
    try {
        const std::unique_ptr<sql::Backend> db = sql::openBackend(location);
        const ServiceRole role = createServiceRole(*db, name);
        say(QStringLiteral("role %1 made: it owns nothing and holds only the grants the service needs").arg(name));
        print(stdout, QStringLiteral("# put this location in the service's configuration (it holds the password):\n%1\n")
                          .arg(locationFor(location, role)));
        return 0;
    } catch (const sql::DbError &e) {
        return fail(e.message());
    } catch (const std::invalid_argument &e) {
        return usage(QString::fromUtf8(e.what()));
    }
}

int serve(const QCommandLineParser &args)
{
    ServerOptions options;
    options.location = args.value(QStringLiteral("db"));
    if (args.isSet(QStringLiteral("host")))
        options.host = args.value(QStringLiteral("host"));
    if (!readPort(args, QStringLiteral("port"), options.port))
        return usage(QStringLiteral("--port needs a port number (0 for any free port)"));
    if (!readPort(args, QStringLiteral("msg-port"), options.messagePort))
        return usage(QStringLiteral("--msg-port needs a port number (0 for any free port)"));
    if (args.isSet(QStringLiteral("threads"))) {
        bool ok = false;
        options.workers = args.value(QStringLiteral("threads")).toInt(&ok);
        if (!ok || options.workers < 1 || options.workers > 256)
            return usage(QStringLiteral("--threads needs a number from 1 to 256"));
    }
    if (args.isSet(QStringLiteral("queue"))) {
        bool ok = false;
        options.queueLength = args.value(QStringLiteral("queue")).toInt(&ok);
        if (!ok || options.queueLength < 0 || options.queueLength > 100000)
            return usage(QStringLiteral("--queue needs a number from 0 to 100000"));
    }
    if (args.isSet(QStringLiteral("statement-timeout"))) {
        bool ok = false;
        const double seconds = args.value(QStringLiteral("statement-timeout")).toDouble(&ok);
        if (!ok || seconds < 0 || seconds > 86400)
            return usage(QStringLiteral("--statement-timeout needs seconds from 0 (no limit) to 86400"));
        options.statementTimeoutMs = static_cast<int>(seconds * 1000);
    }
    if (args.isSet(QStringLiteral("per-address"))) {
        bool ok = false;
        options.connectionsPerAddress = args.value(QStringLiteral("per-address")).toInt(&ok);
        if (!ok || options.connectionsPerAddress < 1 || options.connectionsPerAddress > 100000)
            return usage(QStringLiteral("--per-address needs a number from 1 to 100000"));
    }
    options.tlsCertificate = args.value(QStringLiteral("tls-cert"));
    options.tlsKey = args.value(QStringLiteral("tls-key"));
    if (args.isSet(QStringLiteral("log-level"))) {
        const std::optional<LogLevel> level = logLevelNamed(args.value(QStringLiteral("log-level")));
        if (!level)
            return usage(QStringLiteral("--log-level needs info (every request), warning (refusals and errors) or error"));
        options.logLevel = *level;
    }

    // SIGINT and SIGTERM are taken by sigwait below; the server threads started from here
    // inherit the blocked mask, so the signal cannot land in one of them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SystemClock clock;
    ShopServer server(options, clock);
    try {
        const SchemaChange change = ShopDatabase(options.location, clock).upgrade();
        if (change.upgraded())
            say(QStringLiteral("upgraded %1 from schema version %2 to %3")
                    .arg(shown(options.location))
                    .arg(change.from)
                    .arg(change.to));
        server.start();
    } catch (const ShopDatabaseError &e) {
        return fail(e.message());
    } catch (const ServerError &e) {
        return fail(e.message());
    }
    say(QStringLiteral("serving %1 on port %2 (connection) and %3 (messages)%4, %5 database workers")
            .arg(shown(options.location))
            .arg(server.port())
            .arg(server.messagePort())
            .arg(options.tlsCertificate.isEmpty() ? QString() : QStringLiteral(" over TLS"))
            .arg(options.workers > 0 ? options.workers : defaultWorkers(options.location)));
    warnIfSuperuser(options.location);

    for (;;) {
        const timespec wait{0, 500 * 1000 * 1000};
        const int sig = sigtimedwait(&stopSignals, nullptr, &wait);
        if (sig == SIGINT || sig == SIGTERM) {
            say(QStringLiteral("stopping"));
            server.stop();
            say(QStringLiteral("stopped"));
            return 0;
        }
        if (!server.running()) {
            server.stop();
            return fail(QStringLiteral("a service stopped unexpectedly"));
        }
    }
}

int initShop(const QCommandLineParser &args)
{
    CreateOptions options;
    options.demo = args.isSet(QStringLiteral("demo"));
    options.force = args.isSet(QStringLiteral("force"));
    if (args.isSet(QStringLiteral("styles"))) {
        bool ok = false;
        options.extraStyles = args.value(QStringLiteral("styles")).toInt(&ok);
        if (!ok || options.extraStyles < 0)
            return usage(QStringLiteral("--styles needs a number of styles"));
    }
    const QString location = args.value(QStringLiteral("db"));
    // The demo's dates (its open stock period, its slips) follow "today"; a rehearsal may
    // fix the day.
    ManualClock fixedDay(QDateTime::currentDateTime());
    SystemClock systemClock;
    const Clock *clock = &systemClock;
    if (args.isSet(QStringLiteral("today"))) {
        const QDate day = QDate::fromString(args.value(QStringLiteral("today")), Qt::ISODate);
        if (!day.isValid())
            return usage(QStringLiteral("--today needs a date YYYY-MM-DD"));
        fixedDay.set(QDateTime(day, QTime(9, 0, 0)));
        clock = &fixedDay;
    }
    ShopDatabase shop(location, *clock);
    const QString role = args.value(QStringLiteral("role"));
    if (args.isSet(QStringLiteral("role"))) {
        if (!shop.isPostgres())
            return usage(QStringLiteral("--role is for a PostgreSQL shop"));
        // On a shop that is there already, only the role is made (after an upgrade, so the
        // role is granted the tables the upgrade made).
        try {
            if (!options.force && !options.demo && options.extraStyles == 0 && shop.exists()) {
                const SchemaChange change = shop.upgrade();
                if (change.upgraded())
                    say(QStringLiteral("upgraded %1 from schema version %2 to %3").arg(shown(location)).arg(change.from).arg(change.to));
                return makeRole(location, role);
            }
        } catch (const ShopDatabaseError &e) {
            return fail(e.message());
        }
    }
    QElapsedTimer timer;
    timer.start();
    try {
        // An existing shop is upgraded when it is older, else refused as before (unless --force).
        if (!options.force && shop.exists()) {
            const SchemaChange change = shop.upgrade();
            if (change.upgraded()) {
                say(QStringLiteral("upgraded %1 from schema version %2 to %3")
                        .arg(shown(location))
                        .arg(change.from)
                        .arg(change.to));
                return 0;
            }
            if (args.isSet(QStringLiteral("make-cert")))
                return 0; // only the certificate was asked for

        }
        const int styles = options.extraStyles;
        options.extraStyles = 0;
        shop.create(options);
        const qint64 createMs = timer.elapsed();
        QString made = options.demo ? QStringLiteral("schema and demo shop") : QStringLiteral("schema");
        QString report = QStringLiteral("created %1 (%2) in %3 s").arg(shown(location), made).arg(createMs / 1000.0, 0, 'f', 2);
        if (styles > 0) {
            timer.restart();
            const StyleFigures f = shop.addStyles(styles);
            report += QStringLiteral("; added %1 styles, %2 units, %3 barcodes, %4 stock rows in %5 s")
                          .arg(f.styles)
                          .arg(f.units)
                          .arg(f.barcodes)
                          .arg(f.stockRows)
                          .arg(timer.elapsed() / 1000.0, 0, 'f', 2);
        }
        say(report);
    } catch (const ShopDatabaseError &e) {
        return fail(e.message());
    }
    return role.isEmpty() ? 0 : makeRole(location, role);
}

// init --make-cert FOLDER [--cert-names NAME,...]: a self-signed certificate for the
// service, made before the shop (a folder that holds one already is refused).
int init(const QCommandLineParser &args)
{
    if (!args.isSet(QStringLiteral("make-cert")))
        return initShop(args);
    QStringList names = args.value(QStringLiteral("cert-names")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (names.isEmpty())
    {
        char host[256] = {};
        gethostname(host, sizeof host - 1);
        names = QStringList{QString::fromLocal8Bit(host), QStringLiteral("127.0.0.1")};
    }
    SelfSignedFiles files;
    try {
        files = makeSelfSignedCertificate(args.value(QStringLiteral("make-cert")), names);
    } catch (const std::runtime_error &e) {
        return fail(QString::fromStdString(e.what()));
    }
    say(QStringLiteral("made the self-signed certificate %1 (for %2) and its key %3; serve with "
                       "tls-cert = %1 and tls-key = %3, and give each till %1 as the certificate it trusts")
            .arg(shown(files.certificate), names.join(QStringLiteral(", ")), shown(files.key)));
    return initShop(args);
}

int exec(const QCommandLineParser &args, const QStringList &positional)
{
    QString batch;
    if (args.isSet(QStringLiteral("file"))) {
        if (positional.size() > 1)
            return usage(QStringLiteral("give either --file or the SQL text, not both"));
        QFile f(args.value(QStringLiteral("file")));
        if (!f.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(f.fileName(), f.errorString()));
        batch = QString::fromUtf8(f.readAll());
    } else {
        if (positional.size() != 2)
            return usage(QStringLiteral("exec needs the SQL text (one argument) or --file"));
        batch = positional.at(1);
    }

    std::unique_ptr<sql::Backend> db;
    try {
        db = sql::openBackend(args.value(QStringLiteral("db")));
    } catch (const sql::DbError &e) {
        return fail(e.message());
    }
    SystemClock clock;
    sql::Engine engine(*db, clock);
    const sql::BatchResult result = engine.run(batch);

    const QString out = sql::formatBatchText(result);
    print(stdout, out);
    std::fflush(stdout);
    return result.ok() ? 0 : 1;
}

int backup(const QCommandLineParser &args)
{
    const QString target = args.value(QStringLiteral("to"));
    if (target.trimmed().isEmpty())
        return usage(QStringLiteral("backup needs --to FILE"));
    SystemClock clock;
    QElapsedTimer timer;
    timer.start();
    try {
        const BackupFigures f = ShopBackup(clock).backup(args.value(QStringLiteral("db")), target);
        say(QStringLiteral("backed up %1 (schema version %2) to %3, %4 bytes in %5 s")
                .arg(shown(args.value(QStringLiteral("db"))))
                .arg(f.version)
                .arg(target)
                .arg(f.bytes)
                .arg(timer.elapsed() / 1000.0, 0, 'f', 2));
    } catch (const ShopDatabaseError &e) {
        return fail(e.message());
    }
    return 0;
}

int restore(const QCommandLineParser &args)
{
    const QString source = args.value(QStringLiteral("from"));
    if (source.trimmed().isEmpty())
        return usage(QStringLiteral("restore needs --from FILE"));
    SystemClock clock;
    try {
        const QString database = args.value(QStringLiteral("db"));
        const QString kept = ShopBackup(clock).restore(source, database);
        say(QStringLiteral("restored %1 from %2").arg(shown(database), source)
            + (kept.isEmpty() ? QString() : QStringLiteral("; the replaced database is kept as ") + kept));
    } catch (const ShopDatabaseError &e) {
        return fail(e.message());
    }
    return 0;
}

} // namespace

int runCommandLine(const QStringList &arguments)
{
    QCommandLineParser args;
    args.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QList<QCommandLineOption> known{
        {QStringLiteral("db"), QStringLiteral("shop database"), QStringLiteral("location")},
        {QStringLiteral("host"), QStringLiteral("address to listen on"), QStringLiteral("addr")},
        {QStringLiteral("port"), QStringLiteral("connection service port"), QStringLiteral("port")},
        {QStringLiteral("msg-port"), QStringLiteral("message service port"), QStringLiteral("port")},
        {QStringLiteral("threads"), QStringLiteral("database workers"), QStringLiteral("n")},
        {QStringLiteral("queue"), QStringLiteral("calls that may wait for a database worker"), QStringLiteral("n")},
        {QStringLiteral("statement-timeout"), QStringLiteral("seconds one statement may run"), QStringLiteral("seconds")},
        {QStringLiteral("per-address"), QStringLiteral("connections one address may hold open"), QStringLiteral("n")},
        {QStringLiteral("tls-cert"), QStringLiteral("TLS certificate"), QStringLiteral("file")},
        {QStringLiteral("tls-key"), QStringLiteral("TLS private key"), QStringLiteral("file")},
        {QStringLiteral("demo"), QStringLiteral("load the demo shop")},
        {QStringLiteral("today"), QStringLiteral("the demo shop's today"), QStringLiteral("date")},
        {QStringLiteral("styles"), QStringLiteral("generated styles to add"), QStringLiteral("n")},
        {QStringLiteral("force"), QStringLiteral("replace an existing shop")},
        {QStringLiteral("role"), QStringLiteral("the service's PostgreSQL role"), QStringLiteral("name")},
        {QStringLiteral("make-cert"), QStringLiteral("folder for a new self-signed TLS certificate"), QStringLiteral("folder")},
        {QStringLiteral("cert-names"), QStringLiteral("host names and addresses the certificate names"), QStringLiteral("names")},
        {QStringLiteral("file"), QStringLiteral("batch file"), QStringLiteral("file")},
        {QStringLiteral("to"), QStringLiteral("backup file to write"), QStringLiteral("file")},
        {QStringLiteral("from"), QStringLiteral("backup file to restore"), QStringLiteral("file")},
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("this text")},
        {QStringLiteral("config"), QStringLiteral("settings file of long options"), QStringLiteral("file")},
        {QStringLiteral("log-level"), QStringLiteral("info, warning or error"), QStringLiteral("level")},
    };
    args.addOptions(known);
    if (!args.parse(arguments))
        return usage(args.errorText());
    // The file's options go before the command line's, so that the command line wins (the
    // last value of an option is the one taken).
    if (args.isSet(QStringLiteral("config"))) {
        const ConfigArguments fromFile = readConfigFile(args.value(QStringLiteral("config")), known);
        if (!fromFile.error.isEmpty()) {
            say(fromFile.error);
            return 2;
        }
        if (!args.parse(QStringList{arguments.value(0)} + fromFile.arguments + arguments.mid(1)))
            return usage(args.errorText());
    }
    if (args.isSet(QStringLiteral("help"))) {
        std::fputs(usageText, stdout);
        return 0;
    }
    const QStringList positional = args.positionalArguments();
    if (positional.isEmpty())
        return usage(QStringLiteral("no command given"));
    const QString command = positional.first();
    const QStringList commands{"serve", "init", "exec", "backup", "restore"};
    if (!commands.contains(command))
        return usage(QStringLiteral("unknown command \"%1\"").arg(command));
    if (args.value(QStringLiteral("db")).trimmed().isEmpty())
        return usage(QStringLiteral("%1 needs --db (a SQLite file or a postgresql:// URI)").arg(command));
    if (command != QLatin1String("exec") && positional.size() > 1)
        return usage(QStringLiteral("unexpected argument \"%1\"").arg(positional.at(1)));

    if (command == QLatin1String("serve"))
        return serve(args);
    if (command == QLatin1String("init"))
        return init(args);
    if (command == QLatin1String("backup"))
        return backup(args);
    if (command == QLatin1String("restore"))
        return restore(args);
    return exec(args, positional);
}

} // namespace vorel::server
