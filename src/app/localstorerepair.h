#pragma once
// The replacement of a damaged local store (TFrm_db). The damaged file is kept as a
// time-stamped backup "VORELZ" + yyyyMMddhhmmss, then the clean copy "VORELZBACK" takes its
// place. The new file is written beside the old one and renamed over it, so a power cut in
// the middle leaves the old store or the new one, never none. The till ends afterwards and
// the next start opens whatever file is there.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace vorel {

class Clock;
class LocalStore;

class LocalStoreRepair {
public:
    static const QString ConfirmCaption; // the confirm button "替换离线文件 F2"
    static const QString DoneText;
    static const QString FailedText;
    // The explanation of the dialog, one line each.
    static const QStringList Explanation;

    LocalStoreRepair(LocalStore &store, const Clock &clock);

    // Numbers of the slips that wait for upload (T=0); nothing when the store cannot be read.
    std::optional<QStringList> pendingSlips();
    // The question asked before anything is replaced; it counts and names the slips that
    // would be lost.
    QString question();

    // Disconnects the store, backs the file up and puts the clean copy in its place. False
    // when the clean copy is missing or could not be put in place; the old file then stays.
    // The store is connected again to whatever file is there.
    bool replace();

    // Name of the backup made at `stamp`.
    static QString backupName(const QString &storePath, const QDateTime &stamp);

private:
    LocalStore &store_;
    const Clock &clock_;
};

} // namespace vorel
