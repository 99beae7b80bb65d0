#include "app/errorcapture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cerrno>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <system_error>
#include <typeinfo>

#include "core/clock.h"
#include "core/error.h"
#include "core/session.h"
#include "core/text.h"

namespace vorel {

const QString ErrorCapture::EntryHeading =
    QStringLiteral("-------------------------------- ERROR --------------------------------");

namespace {

QString typeName(const std::type_info &type)
{
    int status = 0;
    const std::unique_ptr<char, void (*)(void *)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                         std::free);
    return QString::fromLatin1(status == 0 && name ? name.get() : type.name());
}

bool isLinkLoss(const std::error_code &code)
{
    if (code.category() != std::system_category() && code.category() != std::generic_category())
        return false;
    switch (code.value()) {
    case ECONNRESET:
    case ECONNABORTED:
    case ECONNREFUSED:
    case EPIPE:
    case ENOTCONN:
    case ETIMEDOUT:
        return true;
    default:
        return false;
    }
}

} // namespace

ErrorCapture::ErrorCapture(const ProgramFolder &folder, const Clock &clock, const Session &session,
                           ScreenCapture &screen, ErrorReport &report)
    : folder_(folder), clock_(clock), session_(session), screen_(screen), report_(report)
{
}

CaughtError ErrorCapture::describe(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const VorelError &e) {
        return {typeName(typeid(e)), e.message(), false};
    } catch (const std::system_error &e) {
        return {typeName(typeid(e)), QString::fromLocal8Bit(e.what()), isLinkLoss(e.code())};
    } catch (const std::exception &e) {
        return {typeName(typeid(e)), QString::fromUtf8(e.what()), false};
    } catch (...) {
        return {QStringLiteral("unknown"), QStringLiteral("unknown error"), false};
    }
}

QString ErrorCapture::withoutSecrets(const QString &text)
{
    // password='...', pwd = "...", PASSWORD=... : the value goes, the name stays.
    static const QRegularExpression assigned(
        QStringLiteral(R"(((?:password|passwd|pwd)\w*\s*(?:=|:)\s*)('[^']*'|"[^"]*"|[^\s,;)]+))"),
        QRegularExpression::CaseInsensitiveOption);
    QString out = text;
    out.replace(assigned, QStringLiteral("\\1***"));
    return out;
}

QString ErrorCapture::screenshotPath() const
{
    return folder_.path(QStringLiteral("log/Err.jpg"));
}

QString ErrorCapture::dayFilePath(const QDate &day) const
{
    return folder_.path(QStringLiteral("LOG/POS") + day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".TXT"));
}

void ErrorCapture::handle(const CaughtError &error) noexcept
{
    try {
        const QString message = withoutSecrets(error.message);
        entries_ << QString::number(entries_.size() + 1) + QLatin1Char('\r') + EntryHeading
                        + formatDateTime(clock_.now()) + QLatin1Char('\r') + error.className
                        + QStringLiteral("\r\n") + message;
        // An error inside the report of another one is only noted.
        if (busy_)
            return;
        if (error.linkLost) {
            if (dropLink_)
                dropLink_();
            return;
        }
        busy_ = true;
        record({error.className, message, false});
        busy_ = false;
    } catch (...) {
        // The capture must never take the till down.
        busy_ = false;
    }
}

void ErrorCapture::record(const CaughtError &error)
{
    // Each step on its own: a picture that cannot be taken does not stop the report.
    try {
        if (!folder_.ensureFolder(QStringLiteral("log")).isEmpty())
            screen_.grab().save(screenshotPath(), "JPG", 80);
    } catch (...) {
    }
    try {
        report_.show(session_.identity.userId + QLatin1Char(' ') + session_.identity.userName, screenshotPath(),
                     QStringLiteral("【") + error.className + QStringLiteral("】\r\n") + error.message);
    } catch (...) {
    }
    appendToDayFile(error);
}

void ErrorCapture::appendToDayFile(const CaughtError &error)
{
    if (folder_.ensureFolder(QStringLiteral("LOG")).isEmpty())
        return;
    const QDateTime now = clock_.now();
    QFile file(dayFilePath(now.date()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(toGbk(formatDateTime(now) + QStringLiteral("\r\nMainform\r\nErrmsg:") + error.message
                     + QStringLiteral("\r\n")));
}

} // namespace vorel
