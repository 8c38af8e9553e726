#include "console/connection/consoletls.h"

#include "console/settings/consolesettings.h"
#include "net/pskkeyfile.h"
#include "net/tlscontext.h"
#include "net/tlstransport.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// Stands where an encrypted session was asked for but its key cannot be used.
class RefusingTransport : public Transport
{
public:
    explicit RefusingTransport(QString reason) : m_reason(std::move(reason)) {}
    Result handshake() override { return {Io::Failed, 0, 0, m_reason}; }
    Result read(char *, qint64) override { return handshake(); }
    Result write(const char *, qint64) override { return handshake(); }

private:
    QString m_reason;
};

bool namesPlain(const ConsoleSettings &settings)
{
    const QString mode = settings.TlsConnect.trimmed().toLower();
    return mode.isEmpty() || mode == u"plain";
}

} // namespace

QString ConsoleKeyFilePath(const ConsoleSettings &settings)
{
    const QString name = settings.TlsPskFile.trimmed();
    if (name.isEmpty())
        return {};
    return QDir::cleanPath(QFileInfo(settings.IniFilePath).absoluteDir().absoluteFilePath(name));
}

std::optional<ConsoleTls> ConsoleTls::load(const ConsoleSettings &settings, QString *error)
{
    ConsoleTls tls;
    if (namesPlain(settings))
        return tls;
    if (settings.TlsConnect.trimmed().toLower() != u"psk") {
        if (error)
            *error = u"TlsConnect は plain か psk で指定してください。"_s;
        return std::nullopt;
    }
    QString fault;
    auto keys = PskKeyFile::read(ConsoleKeyFilePath(settings), &fault);
    if (keys) {
        tls.identity = QString::fromLatin1(keys->at(0).identity);
        tls.context = TlsContext::create(TlsContext::Role::Client, std::move(*keys), &fault);
    }
    if (!tls.context) {
        if (error)
            *error = u"TlsPskFile の鍵ファイルを使えません（"_s + fault + u"）。"_s;
        return std::nullopt;
    }
    tls.psk = true;
    return tls;
}

QString ConsoleTlsModeText(const ConsoleSettings &settings)
{
    QString error;
    const auto tls = ConsoleTls::load(settings, &error);
    if (!tls)
        return u"暗号化：使用できません － "_s + error;
    if (!tls->psk)
        return u"暗号化：なし（TlsConnect=plain）"_s;
    return u"暗号化：TLS 1.3 事前共有鍵（識別名 "_s + tls->identity + u"）"_s;
}

StreamConnection::TransportFactory ConsoleTransportFactory(const ConsoleSettings &settings)
{
    if (namesPlain(settings))
        return {};
    std::shared_ptr<const TlsContext> context = settings.tlsContext;
    QString error;
    if (!context) {
        if (const auto tls = ConsoleTls::load(settings, &error))
            context = tls->context;
    }
    if (!context)
        return [error](int) { return std::make_unique<RefusingTransport>(error); };
    return [context](int socket) { return std::make_unique<TlsTransport>(socket, context); };
}
