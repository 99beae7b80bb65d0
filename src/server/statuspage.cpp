#include "server/statuspage.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMessageAuthenticationCode>

namespace vorel::server {

std::optional<PageFile> statusPageFile(const std::string &path)
{
    static const struct {
        const char *path;
        const char *resource;
        const char *contentType;
    } files[] = {
        {"/", ":/statuspage/index.html", "text/html; charset=utf-8"},
        {"/status.js", ":/statuspage/status.js", "text/javascript; charset=utf-8"},
        {"/status.css", ":/statuspage/status.css", "text/css; charset=utf-8"},
    };
    for (const auto &f : files) {
        if (path != f.path)
            continue;
        QFile file(QLatin1String(f.resource));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return PageFile{file.readAll(), f.contentType};
    }
    return std::nullopt;
}

QByteArray statusPageKey(const QByteArray &shopSecret)
{
    return QMessageAuthenticationCode::hash(QByteArrayLiteral("vorel status page sessions"), shopSecret,
                                            QCryptographicHash::Sha256);
}

} // namespace vorel::server
