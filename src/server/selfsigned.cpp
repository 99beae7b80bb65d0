#include "server/selfsigned.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <memory>
#include <stdexcept>

#include <arpa/inet.h>

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace vorel::server {

namespace {

template <typename T, void (*Free)(T *)>
struct Freer {
    void operator()(T *p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>>;
using Cert = std::unique_ptr<X509, Freer<X509, X509_free>>;
using Bio = std::unique_ptr<BIO, Freer<BIO, BIO_free_all>>;
using Extension = std::unique_ptr<X509_EXTENSION, Freer<X509_EXTENSION, X509_EXTENSION_free>>;

bool isAddress(const QString &name)
{
    const QByteArray text = name.toLatin1();
    unsigned char buffer[16];
    return inet_pton(AF_INET, text.constData(), buffer) == 1 || inet_pton(AF_INET6, text.constData(), buffer) == 1;
}

[[noreturn]] void fail(const QString &what)
{
    throw std::runtime_error(what.toStdString());
}

void check(bool ok, const char *what)
{
    if (!ok)
        fail(QStringLiteral("cannot make the certificate: %1 failed").arg(QLatin1String(what)));
}

void addExtension(X509 *cert, int nid, const QString &value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    const Extension ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.toLatin1().constData()));
    check(ext != nullptr && X509_add_ext(cert, ext.get(), -1) == 1, "an extension");
}

QByteArray pem(const std::function<int(BIO *)> &write)
{
    const Bio bio(BIO_new(BIO_s_mem()));
    check(bio && write(bio.get()) == 1, "writing PEM");
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, static_cast<qsizetype>(size));
}

void writeNew(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        fail(QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
    file.setPermissions(permissions);
    if (file.write(bytes) != bytes.size() || !file.flush())
        fail(QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
}

} // namespace

SelfSignedFiles makeSelfSignedCertificate(const QString &folder, const QStringList &names, int validDays)
{
    if (names.isEmpty() || names.first().isEmpty())
        fail(QStringLiteral("the certificate needs the server's host name or address"));
    QStringList subjectAlt;
    for (const QString &name : names) {
        const QString n = name.trimmed();
        if (n.isEmpty() || n.size() > 253 || n.contains(QLatin1Char(',')) || n.contains(QLatin1Char(' ')))
            fail(QStringLiteral("not a host name or address: \"%1\"").arg(n));
        subjectAlt << (isAddress(n) ? QStringLiteral("IP:") : QStringLiteral("DNS:")) + n;
    }
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("cannot make the folder %1").arg(QDir::toNativeSeparators(folder)));
    SelfSignedFiles files{QDir(folder).filePath(QStringLiteral("server.crt")), QDir(folder).filePath(QStringLiteral("server.key"))};
    for (const QString &path : {files.certificate, files.key}) {
        if (QFile::exists(path))
            fail(QStringLiteral("%1 is there already; move it away to make a new one").arg(QDir::toNativeSeparators(path)));
    }

    const Key key(EVP_EC_gen("P-256"));
    check(key != nullptr, "making the key");
    const Cert cert(X509_new());
    check(cert != nullptr, "X509_new");
    check(X509_set_version(cert.get(), 2) == 1, "the version");
    unsigned char serial[16];
    check(RAND_bytes(serial, sizeof serial) == 1, "the serial number");
    serial[0] &= 0x7f; // a positive number
    BIGNUM *bn = BN_bin2bn(serial, sizeof serial, nullptr);
    check(bn != nullptr && BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get())) != nullptr, "the serial number");
    BN_free(bn);
    check(X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) != nullptr
              && X509_gmtime_adj(X509_getm_notAfter(cert.get()), 86400L * validDays) != nullptr,
          "the validity");
    X509_NAME *name = X509_get_subject_name(cert.get());
    const QByteArray common = names.first().trimmed().toUtf8();
    check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char *>(common.constData()),
                                     -1, -1, 0)
              == 1,
          "the name");
    check(X509_set_issuer_name(cert.get(), name) == 1, "the issuer");
    check(X509_set_pubkey(cert.get(), key.get()) == 1, "the public key");
    addExtension(cert.get(), NID_subject_alt_name, subjectAlt.join(QLatin1Char(',')));
    addExtension(cert.get(), NID_basic_constraints, QStringLiteral("critical,CA:TRUE,pathlen:0"));
    addExtension(cert.get(), NID_key_usage, QStringLiteral("critical,digitalSignature,keyCertSign"));
    addExtension(cert.get(), NID_ext_key_usage, QStringLiteral("serverAuth"));
    check(X509_sign(cert.get(), key.get(), EVP_sha256()) > 0, "signing");

    const QByteArray keyPem = pem([&](BIO *b) {
        return PEM_write_bio_PrivateKey(b, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
    const QByteArray certPem = pem([&](BIO *b) { return PEM_write_bio_X509(b, cert.get()); });
    writeNew(files.key, keyPem, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    writeNew(files.certificate, certPem,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return files;
}

} // namespace vorel::server
