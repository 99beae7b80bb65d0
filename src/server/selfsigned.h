#pragma once
// A self-signed certificate for a shop that has no certificate authority of its own: the
// service's key (EC P-256) and a certificate naming the server's host names and addresses,
// which each till is then given as the one certificate it trusts.

#include <QString>
#include <QStringList>

namespace vorel::server {

struct SelfSignedFiles {
    QString certificate; // FOLDER/server.crt
    QString key;         // FOLDER/server.key, readable by its owner only
};

// Writes both files into `folder` (made when missing) for `names`: host names, IPv4 or
// IPv6 addresses; the first is the certificate's common name. Refuses to overwrite either
// file. Throws std::runtime_error with a clear message.
SelfSignedFiles makeSelfSignedCertificate(const QString &folder, const QStringList &names, int validDays = 3650);

} // namespace vorel::server
