#pragma once
// Helpers of the offline tests: a program folder with a fresh local store, a connection over
// it and a scripted shop service, waiting on the event loop, and slips as the till writes them.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ostream>

#include "core/programfolder.h"
#include "core/session.h"
#include "offline/connection.h"
#include "offline/localstore.h"

#include "fakeshopservice.h"

// Readable QStrings in test failures.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace vorel::test {

// A program folder in a temporary directory; with a store, it holds a copy of the clean
// store as "VORELZ".
class StoreFolder {
public:
    explicit StoreFolder(bool withStore = true)
    {
        if (withStore) {
            const QString clean = LocalStore::shippedCleanCopy();
            EXPECT_FALSE(clean.isEmpty()) << "the build did not make VORELZBACK";
            EXPECT_TRUE(QFile::copy(clean, storePath()));
            QFile::setPermissions(storePath(), QFile::ReadOwner | QFile::WriteOwner);
        }
    }
    QString root() const { return dir_.path(); }
    QString file(const QString &name) const { return dir_.filePath(name); }
    QString storePath() const { return file(QString::fromLatin1(LocalStoreFileName)); }
    ProgramFolder folder() const { return ProgramFolder(root()); }

private:
    QTemporaryDir dir_;
};

// Runs the event loop until `done` holds; false after `timeoutMs`.
template <typename Pred>
bool waitUntil(Pred done, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Runs the event loop for `ms`.
inline void spin(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The single number a "select count(*) ..." gives.
inline qint64 scalar(LocalStore &store, const QString &sql)
{
    const ResultSet rows = store.query(sql);
    return rows.totalRowCount() > 0 ? rows.fieldAt(0, 0).asInt() : -1;
}

// A slip header as the till writes it offline (number, date).
inline QString slipHeader(const QString &noid, const QString &bdate = QStringLiteral("2026-03-02 10:15:00"))
{
    return QStringLiteral("INSERT INTO D712 (NOID, CK_ID,ZD_ID, CLASSID, VIPID,VIPZK, yw_id,BDATE,USER_ID,"
                          "S1,S2,S3,S4,S5,S6,S7, NOTE) VALUES ('%1','001','001','1',NULL,1,NULL,'%2','01',"
                          "  199.00,0,0,0,0,0200, 1.00,NULL);")
        .arg(noid, bdate);
}

// One ordinary slip line (size position 2, one piece).
inline QString slipLine(const QString &noid, const QString &unit = QStringLiteral("TX001BK"))
{
    return QStringLiteral("INSERT INTO D712A (NOID, WL_ID, XH, CK_ID, S2, SJ, SMONEY, ODJ, OMONEY, ZK, G, FLAG1, "
                          "FLAG2, FLAG3, NOTE, VIPF) VALUES ('%1','%2','1','001','1','199','199','199','199',"
                          "'1','0','0','0','0','',1);")
        .arg(noid, unit);
}

// A whole slip: header, one line and the points update.
inline QString slipBatch(const QString &noid, const QString &bdate = QStringLiteral("2026-03-02 10:15:00"))
{
    return slipHeader(noid, bdate) + slipLine(noid) + QStringLiteral("update d712 set vipf=19 where noid='%1';").arg(noid);
}

// An open store in its own folder, a connection over it and a scripted shop service; the
// session is an online login of the networked edition.
class ConnectionFixture : public ::testing::Test {
protected:
    ConnectionFixture() : store(dir.storePath()), connection(session, shop, store)
    {
        store.open();
        session.connection.net = 0;
        session.connection.loginFlag = true;
        session.connection.loginOnline = true;
    }

    // count(*) of "table [where ...]".
    qint64 count(const QString &from) { return scalar(store, QStringLiteral("select count(*) from ") + from); }

    StoreFolder dir;
    LocalStore store;
    Session session;
    FakeShopService shop;
    Connection connection;
};

} // namespace vorel::test
