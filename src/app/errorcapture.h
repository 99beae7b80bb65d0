#pragma once
// What happens to an error no part of the till handled (AppException). Every such error gets
// an entry in the till's own error log on screen; a lost message-service connection ends
// there (the link is dropped quietly and comes back with the next keep-alive). Anything else
// leaves a picture of the whole screen in "log\Err.jpg", is shown in the error report and
// lands as one entry in the day's file "LOG\POS" + yyyyMMdd + ".TXT" of the program folder.
//
// The capture itself never throws: whatever goes wrong while it records an error is dropped,
// and the till goes on with the state it had. Texts that could carry a password digest lose
// it before they are written or shown.

#include <QDate>
#include <QImage>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>

#include "core/programfolder.h"

namespace vorel {

class Clock;
class Session;

// The whole screen as a picture.
class ScreenCapture {
public:
    virtual ~ScreenCapture() = default;
    virtual QImage grab() = 0;
};

// The error report TFrm_SendMailErr: who was at the till, the picture, the error.
class ErrorReport {
public:
    virtual ~ErrorReport() = default;
    virtual void show(const QString &user, const QString &screenshotPath, const QString &errorText) = 0;
};

// An error as the capture sees it.
struct CaughtError {
    QString className;
    QString message;
    bool linkLost = false; // the connection of the message service dropped
};

class ErrorCapture {
public:
    static const QString EntryHeading; // the line between the entries of the on-screen log

    ErrorCapture(const ProgramFolder &folder, const Clock &clock, const Session &session, ScreenCapture &screen,
                 ErrorReport &report);

    // Drops the message-service connection (the network watch).
    void setLinkDropper(std::function<void()> drop) { dropLink_ = std::move(drop); }

    // The error being handled now (inside a catch block), described.
    static CaughtError describe(std::exception_ptr error);

    // AppException. Never throws.
    void handle(const CaughtError &error) noexcept;

    // The on-screen log, one entry per error.
    const QStringList &entries() const { return entries_; }
    QString screenshotPath() const;
    QString dayFilePath(const QDate &day) const;

    // `text` with the values given for passwords blanked out.
    static QString withoutSecrets(const QString &text);

private:
    void record(const CaughtError &error);
    void appendToDayFile(const CaughtError &error);

    ProgramFolder folder_;
    const Clock &clock_;
    const Session &session_;
    ScreenCapture &screen_;
    ErrorReport &report_;
    std::function<void()> dropLink_;
    QStringList entries_;
    bool busy_ = false;
};

} // namespace vorel
