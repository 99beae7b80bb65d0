#pragma once
// The PostgreSQL of a benchmark run: the server named by VOREL_TEST_PG in a schema of its
// own, else a throwaway cluster from scripts/test-postgres (VOREL_SOURCE_DIR names the source
// tree), else none, with the reason.

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "sqlengine/backend.h"

namespace vorel::bench {

// The server of VOREL_TEST_PG with a schema of our own, or a throwaway cluster.
class Postgres {
public:
    Postgres()
    {
        const QString given = qEnvironmentVariable("VOREL_TEST_PG");
        if (!given.isEmpty()) {
            server_ = given;
            const QString schema = QStringLiteral("bench_%1_%2")
                                       .arg(QCoreApplication::applicationPid())
                                       .arg(QRandomGenerator::global()->generate());
            try {
                sql::openBackend(server_)->executeScript(QStringLiteral("CREATE SCHEMA ") + schema);
            } catch (const sql::DbError &e) {
                why_ = e.message();
                return;
            }
            schema_ = schema;
            const QChar sep = server_.contains(u'?') ? u'&' : u'?';
            location_ = server_.startsWith(QLatin1String("postgres"), Qt::CaseInsensitive)
                            ? server_ + sep + QStringLiteral("options=-csearch_path%3D") + schema_
                            : server_ + QStringLiteral(" options='-csearch_path=%1'").arg(schema_);
            return;
        }
        if (!dir_.isValid()) {
            why_ = QStringLiteral("no temporary folder for the cluster");
            return;
        }
        QProcess start;
        start.start(script(), {QStringLiteral("start"), dir_.path()});
        if (!start.waitForFinished(120000) || start.exitStatus() != QProcess::NormalExit || start.exitCode() != 0) {
            why_ = QString::fromLocal8Bit(start.readAllStandardError()).trimmed().split(u'\n').join(QStringLiteral("; "));
            if (why_.isEmpty())
                why_ = start.errorString();
            return;
        }
        started_ = true;
        location_ = QString::fromLocal8Bit(start.readAllStandardOutput()).trimmed().split(u'\n').last();
    }
    ~Postgres()
    {
        if (!schema_.isEmpty()) {
            try {
                sql::openBackend(server_)->executeScript(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(schema_));
            } catch (const std::exception &) {
                // Left to whoever owns that server.
            }
        }
        if (started_) {
            QProcess stop;
            stop.start(script(), {QStringLiteral("stop"), dir_.path()});
            stop.waitForFinished(60000);
        }
    }
    Postgres(const Postgres &) = delete;
    Postgres &operator=(const Postgres &) = delete;

    // Empty when there is none; whyNot() then says why.
    const QString &location() const { return location_; }
    const QString &whyNot() const { return why_; }

private:
    static QString script() { return QStringLiteral(VOREL_SOURCE_DIR "/scripts/test-postgres"); }

    QTemporaryDir dir_;
    QString server_;
    QString schema_;
    QString location_;
    QString why_;
    bool started_ = false;
};

} // namespace vorel::bench
