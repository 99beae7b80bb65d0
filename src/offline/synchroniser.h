#pragma once
// One synchronisation run between the till's local store and the shop: what the till kept
// while offline goes up (shift records, login records, slips), then this terminal's master
// data come down and replace the local mirror in one local transaction, and the settings
// file is stamped with the server time.
//
// Exactly once: every slip is one server batch holding its header, lines, price refresh and
// member points behind a guard that skips a slip number the shop already has, so a slip
// whose reply was lost, or that reached the shop by an online commit the till then also kept
// offline, is recognised on the next run and never counted twice. Shift and login records
// carry the same kind of guard. The local marks (T = 1, login records deleted) are set only
// after a whole table went up, so a run that fails anywhere sends the rest again next time.
//
// Plain logic on the user-interface thread; a screen follows the run through SyncObserver.

#include <QList>
#include <QString>

#include "core/resultset.h"

namespace vorel {

class Clock;
class LocalStore;
class ShopService;
class TerminalSettings;

// Who is synchronising and how long uploaded records stay in the local store.
struct SyncTerminal {
    QString warehouseId;
    QString terminalId;
    int shiftKeepDays = 30;
    int slipKeepDays = 30;
};

// What the screen shows of a run.
struct SyncProgress {
    int gauge = 0;          // 0 to 100
    QString gaugeText;      // the progress text over the gauge
    QString step;           // what is being done ("上传交班记录:3 ...")
    QString traffic;        // bytes up and down
    int elapsedSeconds = 0;
};

class SyncObserver {
public:
    virtual ~SyncObserver() = default;
    // The figures changed; the screen repaints (and lets pending window events through).
    virtual void progressed(const SyncProgress &progress) = 0;
};

// The thirteen tables the download brings, in the order they are read.
struct MirrorData {
    QList<ResultSet> tables;
    qint64 rowCount() const; // all rows but the company parameters
};

class Synchroniser {
public:
    enum Result { Done = 0, DownloadFailed = 1000, UploadFailed = 2000 };

    static const QString Title;               // the dialog's title while it works
    static const QString UploadFailedCause;   // Label4 after a failed upload
    static const QString UploadFailedAdvice;  // Label5
    static const QString DownloadFailedCause;
    static const QString DownloadFailedAdvice;
    static const QString StampFailurePrefix;  // DBDATETIME after a failed download, before the time
    static const QString NoOfflineDataText;   // the mirror holds no company parameters
    static const QString PseudoItem;          // "ZZZZZ", the cash-off line's item

    Synchroniser(LocalStore &store, ShopService &shop, TerminalSettings &settings, const Clock &clock,
                 int timeoutSeconds);

    // A whole run. Returns Done, UploadFailed (nothing downloaded, DBDATETIME untouched) or
    // DownloadFailed (old mirror kept, DBDATETIME holds the failure text).
    int run(const SyncTerminal &terminal, SyncObserver *observer = nullptr);

    // "上传交班记录:n 登录记录:n 销售单据:n", the parts whose table had rows.
    const QString &summary() const { return summary_; }
    const SyncProgress &progress() const { return progress_; }
    // Why the last run failed (for the error log).
    const QString &lastError() const { return lastError_; }

    // The phases on their own, after begin(); each throws VorelError when it fails.
    void begin(const SyncTerminal &terminal);
    void upload();
    MirrorData download();
    void save(const MirrorData &mirror);
    // The progress text over the gauge.
    static QString gaugeText(int first, int second);
    // Whether the local store holds offline data (a company parameter row).
    static bool hasOfflineData(LocalStore &store);

private:
    void send(const QString &code, const QString &key, const QString &operation, const QString &sql);
    bool read(ResultSet &out, const QString &sql);
    void account();
    void report();
    void advance(int gauge);
    void uploadShifts(const ResultSet &rows);
    void uploadLogins(const ResultSet &rows);
    void uploadSlips(const ResultSet &rows);
    QString slipBatch(const ResultSet &header, int row);
    void stampServerTime();

    LocalStore &store_;
    ShopService &shop_;
    TerminalSettings &settings_;
    const Clock &clock_;
    int timeoutSeconds_;
    SyncTerminal terminal_;
    SyncObserver *observer_ = nullptr;
    SyncProgress progress_;
    QString summary_;
    QString lastError_;
    qint64 bytesUp_ = 0;
    qint64 bytesDown_ = 0;
    qint64 uploadTotal_ = 0;
    qint64 uploaded_ = 0;
    qint64 startMs_ = 0;
};

} // namespace vorel
