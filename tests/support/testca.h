#pragma once

// Test harness: a certificate authority of the test's own, made with the stock openssl tool,
// and server certificates it signs, for the servers the publishing steps reach over TLS.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <optional>

namespace TestCa {

using namespace Qt::StringLiterals;

/// A server's certificate and key, signed by the authority.
struct ServerFiles
{
    QString certificate;
    QString key;
};

class Authority
{
public:
    /// Makes the authority's key and certificate in `folder`; false when openssl fails.
    bool create(const QString &folder)
    {
        m_folder = folder;
        return run({u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s,
                    u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s, u"-days"_s, u"2"_s,
                    u"-subj"_s, u"/CN=Tarvo Test CA"_s, u"-keyout"_s, path(u"ca.key"_s),
                    u"-out"_s, certificate()});
    }
    /// The authority's certificate: what a client is told to trust.
    QString certificate() const { return path(u"ca.pem"_s); }

    /// A server certificate for `altNames` (for example "IP:127.0.0.1" or "DNS:other.example").
    std::optional<ServerFiles> issue(const QString &name, const QString &altNames)
    {
        const ServerFiles files{path(name + u".pem"_s), path(name + u".key"_s)};
        const QString request = path(name + u".csr"_s);
        const QString extensions = path(name + u".ext"_s);
        QFile ext(extensions);
        if (!ext.open(QIODevice::WriteOnly)
            || ext.write("subjectAltName=" + altNames.toLatin1() + "\n") < 0)
            return std::nullopt;
        ext.close();
        if (!run({u"req"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s,
                  u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s, u"-subj"_s,
                  u"/CN="_s + name, u"-keyout"_s, files.key, u"-out"_s, request})
            || !run({u"x509"_s, u"-req"_s, u"-in"_s, request, u"-CA"_s, certificate(),
                     u"-CAkey"_s, path(u"ca.key"_s), u"-CAcreateserial"_s, u"-days"_s,
                     u"2"_s, u"-extfile"_s, extensions, u"-out"_s, files.certificate}))
            return std::nullopt;
        return files;
    }

private:
    QString path(const QString &name) const { return QDir(m_folder).filePath(name); }
    static bool run(const QStringList &arguments)
    {
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start(QStandardPaths::findExecutable(u"openssl"_s), arguments);
        return openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit
            && openssl.exitCode() == 0;
    }

    QString m_folder;
};

} // namespace TestCa
