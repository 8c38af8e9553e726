#include "collector/ftpstep.h"

#include "collector/curltransfer.h"
#include "collector/datafilecopy.h"
#include "collector/runcontext.h"
#include "collector/runlog.h"
#include "common/agentinikeys.h"
#include "common/atomicfile.h"
#include "common/clock.h"
#include "common/codepage.h"

#include <QDir>
#include <QFile>

#include <curl/curl.h>

#include <cstring>
#include <optional>

using namespace Qt::StringLiterals;
using namespace AgentIni;

namespace {

constexpr long kConnectTimeoutSeconds = 30;
constexpr long kResponseTimeoutSeconds = 60;
constexpr long kStallSeconds = 60;

struct FtpSettings
{
    QString address;
    long port = DefaultFtpPort;
    QByteArray user;
    QByteArray password;
    QByteArray proxy;
    bool passive = true;
    int type = 0;
    QByteArray directory;
    bool tls = false;     // FtpTls=1: AUTH TLS, required for control and data
    QByteArray caFile;    // FtpCaFile: the site's own CA; empty: the system's store
    QString tlsError;     // an FtpTls value that is neither 0 nor 1
};

// The port is read the way the settings dialog writes it: leading digits count, anything else
// (empty, 0, text) means the FTP default.
long portOf(const QString &text)
{
    const QString trimmed = text.trimmed();
    qsizetype digits = 0;
    while (digits < trimmed.size() && trimmed.at(digits).isDigit() && digits < 9)
        ++digits;
    const long port = trimmed.left(digits).toLong();
    return port == 0 ? DefaultFtpPort : port;
}

std::optional<FtpSettings> readSettings(const RunContext &run)
{
    FtpSettings s;
    bool numeric = false;
    s.type = run.setting(InfoKey::FtpType).trimmed().toInt(&numeric);
    if (!numeric)
        return std::nullopt;
    s.address = run.setting(InfoKey::FtpAddress).trimmed();
    s.port = portOf(run.setting(InfoKey::FtpPort));
    s.user = CodePage::toAnsi(run.setting(InfoKey::FtpUser));
    s.password = CodePage::toAnsi(run.setting(InfoKey::FtpPassword));
    s.proxy = CodePage::toAnsi(run.setting(InfoKey::FtpProxy));
    s.passive = run.setting(InfoKey::FtpPassive) != u"0";
    s.directory = CodePage::toAnsi(run.setting(InfoKey::FtpDirectory));
    const QString tls = run.setting(InfoKey::FtpTls).trimmed();
    s.tls = tls == u"1";
    // A value meant as "yes" must never send in the clear: anything but 0 or 1 stops the step.
    if (!tls.isEmpty() && tls != u"0" && !s.tls)
        s.tlsError = u"FtpTlsは0か1で指定してください。("_s + tls + u')';
    const QString caFile = run.setting(InfoKey::FtpCaFile).trimmed();
    if (!caFile.isEmpty())
        s.caFile = QFile::encodeName(QDir(run.folder).absoluteFilePath(caFile));
    return s;
}

// The failures of the encryption itself, as against those of the login or the network.
bool isTlsFailure(CURLcode code)
{
    switch (code) {
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
        return true;
    default:
        return false;
    }
}

// An ASCII transfer goes out in network form (CR LF). libcurl adds a CR before every LF
// itself, so line ends are reduced to LF first; otherwise a CR LF file would arrive as CR CR LF.
QByteArray toAsciiSource(QByteArray bytes)
{
    bytes.replace("\r\n"_ba, "\n"_ba);
    return bytes;
}

/// One libcurl easy handle standing for the Internet handle and the FTP connection: its
/// control connection is kept open (by the multi handle) between the operations, so login,
/// change of directory and store run on one session.
class FtpSession
{
public:
    explicit FtpSession(const FtpSettings &settings)
        : m_settings(settings)
    {
    }
    ~FtpSession() { close(); }
    FtpSession(const FtpSession &) = delete;
    FtpSession &operator=(const FtpSession &) = delete;

    bool open()
    {
        m_curl = curl_easy_init();
        m_multi = curl_multi_init();
        if (!m_curl || !m_multi)
            return false;
        curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_curl, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(m_curl, CURLOPT_DEBUGFUNCTION, &FtpSession::onDebug);
        curl_easy_setopt(m_curl, CURLOPT_DEBUGDATA, this);
        curl_easy_setopt(m_curl, CURLOPT_PROXY, m_settings.proxy.constData());
        curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
        curl_easy_setopt(m_curl, CURLOPT_FTP_RESPONSE_TIMEOUT, kResponseTimeoutSeconds);
        curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
        // The directory is changed only by the explicit step, never by libcurl on its own.
        curl_easy_setopt(m_curl, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
        if (m_settings.passive)
            curl_easy_setopt(m_curl, CURLOPT_FTP_USE_EPSV, 0L);
        else {
            // PORT rather than EPRT: what older servers and firewalls expect of an active client.
            curl_easy_setopt(m_curl, CURLOPT_FTPPORT, "-");
            curl_easy_setopt(m_curl, CURLOPT_FTP_USE_EPRT, 0L);
        }
        curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, m_errorText);
        if (m_settings.tls) {
            // Explicit FTPS: AUTH TLS before USER, and PROT P for every transfer; the server's
            // certificate and host name are always checked.
            curl_easy_setopt(m_curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
            curl_easy_setopt(m_curl, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
            curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 1L);
            curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 2L);
            if (!m_settings.caFile.isEmpty())
                curl_easy_setopt(m_curl, CURLOPT_CAINFO, m_settings.caFile.constData());
        }
        return true;
    }

    bool hasHandle() const { return m_curl != nullptr; }
    bool isConnected() const { return m_connected; }

    bool connect()
    {
        if (!m_curl || m_connected)
            return false;
        curl_easy_setopt(m_curl, CURLOPT_USERNAME, m_settings.user.constData());
        curl_easy_setopt(m_curl, CURLOPT_PASSWORD, m_settings.password.constData());
        curl_easy_setopt(m_curl, CURLOPT_NOBODY, 1L);
        m_connected = perform(url(QByteArray()));
        return m_connected;
    }

    bool changeDirectory()
    {
        if (!m_connected)
            return false;
        const QByteArray command = "CWD "_ba + m_settings.directory;
        curl_slist *commands = curl_slist_append(nullptr, command.constData());
        curl_easy_setopt(m_curl, CURLOPT_QUOTE, commands);
        curl_easy_setopt(m_curl, CURLOPT_NOBODY, 1L);
        const bool ok = perform(url(QByteArray()));
        curl_easy_setopt(m_curl, CURLOPT_QUOTE, nullptr);
        curl_slist_free_all(commands);
        return ok;
    }

    // Uploads the bytes of the step's copy of the data file, as written to it.
    bool store(QByteArray bytes, const QByteArray &remoteName)
    {
        if (!m_connected)
            return false;
        m_upload = std::move(bytes);
        const bool ascii = m_settings.type == FtpTypeAscii;
        if (ascii)
            m_upload = toAsciiSource(std::move(m_upload));
        m_uploadPos = 0;
        curl_easy_setopt(m_curl, CURLOPT_NOBODY, 0L);
        curl_easy_setopt(m_curl, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(m_curl, CURLOPT_TRANSFERTEXT, ascii ? 1L : 0L);
        curl_easy_setopt(m_curl, CURLOPT_READFUNCTION, &FtpSession::onRead);
        curl_easy_setopt(m_curl, CURLOPT_READDATA, this);
        curl_easy_setopt(m_curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(m_upload.size()));
        // Large reads: a 10 MiB file in 20 passes of the transfer loop, not 160.
        curl_easy_setopt(m_curl, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024);
        const bool ok = perform(url(remoteName));
        curl_easy_setopt(m_curl, CURLOPT_UPLOAD, 0L);
        m_upload.clear();
        return ok;
    }

    // Ends the session; libcurl says QUIT on the control connection when the handles go.
    void close()
    {
        if (m_curl)
            curl_easy_cleanup(m_curl);
        if (m_multi)
            curl_multi_cleanup(m_multi); // the connection goes with the multi handle
        m_curl = nullptr;
        m_multi = nullptr;
        m_connected = false;
    }

    /// The server's last reply line of the failing call ("" when none came).
    QString lastResponse() const { return CodePage::fromAnsi(m_lastReply); }
    /// Whether the last call failed for the encryption, and libcurl's words on it.
    bool failedForTls() const { return isTlsFailure(m_lastCode); }
    QString errorText() const { return QString::fromUtf8(m_errorText); }

private:
    QByteArray url(const QByteArray &path) const
    {
        QByteArray host = m_settings.address.toUtf8();
        if (host.contains(':'))
            host = '[' + host + ']';
        return "ftp://"_ba + host + ':' + QByteArray::number(m_settings.port) + '/' + path;
    }

    bool perform(const QByteArray &target)
    {
        m_lastReply.clear();
        m_pending.clear();
        m_errorText[0] = '\0';
        curl_easy_setopt(m_curl, CURLOPT_URL, target.constData());
        m_lastCode = PerformTransfer(m_multi, m_curl);
        return m_lastCode == CURLE_OK;
    }

    static int onDebug(CURL *, curl_infotype type, char *data, size_t size, void *self)
    {
        if (type != CURLINFO_HEADER_IN)
            return 0;
        auto *session = static_cast<FtpSession *>(self);
        session->m_pending.append(data, static_cast<qsizetype>(size));
        qsizetype end;
        while ((end = session->m_pending.indexOf('\n')) >= 0) {
            const QByteArray line = session->m_pending.left(end).trimmed();
            session->m_pending.remove(0, end + 1);
            if (!line.isEmpty())
                session->m_lastReply = line;
        }
        return 0;
    }

    static size_t onRead(char *buffer, size_t size, size_t count, void *self)
    {
        auto *session = static_cast<FtpSession *>(self);
        const qsizetype left = session->m_upload.size() - session->m_uploadPos;
        const qsizetype n = std::min<qsizetype>(left, static_cast<qsizetype>(size * count));
        std::memcpy(buffer, session->m_upload.constData() + session->m_uploadPos, size_t(n));
        session->m_uploadPos += n;
        return size_t(n);
    }

    const FtpSettings &m_settings;
    CURL *m_curl = nullptr;
    CURLM *m_multi = nullptr; // holds the control connection between the operations
    bool m_connected = false;
    QByteArray m_lastReply;
    QByteArray m_pending;
    QByteArray m_upload;
    qsizetype m_uploadPos = 0;
    CURLcode m_lastCode = CURLE_OK;
    char m_errorText[CURL_ERROR_SIZE] = {};
};

void logTransfer(RunLog &log, const FtpSettings &settings, FtpSession &session,
                 const QByteArray &data, const QString &fileName)
{
    const QString directory = CodePage::fromAnsi(settings.directory);
    log.WriteRunLog(session.changeDirectory()
                        ? u"チェンジディレクトリ成功。["_s + directory + u"] (FtpSetCurrentDirectory)"_s
                        : u"チェンジディレクトリ失敗。["_s + directory + u"] (FtpSetCurrentDirectory)"_s);
    log.WriteRunLog(session.store(data, fileName.toUtf8())
                        ? u"アップロード成功。["_s + fileName + u"] (FtpPutFile)"_s
                        : u"アップロード失敗。["_s + fileName + u"] (FtpPutFile)"_s);
}

} // namespace

void UploadFtp(RunContext &run)
{
    const std::optional<FtpSettings> settings = readSettings(run);
    if (!settings)
        return;

    static const Clock systemClock;
    RunLog log(run.clock ? *run.clock : systemClock);
    log.OpenRunLog(run.outputFile(u".FTP.LOG"_s));

    // The copy of the data file is taken now and written while the connection is made.
    const QString fileName = run.macText + u".DAT"_s;
    DataFileCopy copy;
    const bool readable = copy.start(run.dataFile(), run.outputFile(u".DAT"_s));

    curl_global_init(CURL_GLOBAL_DEFAULT);
    FtpSession session(*settings);
    if (session.open()) {
        log.WriteRunLog(u"WinInetの初期処理が完了しました。(InternetOpen)"_s);
    } else {
        session.close();
        log.WriteRunLog(u"WinInetの初期処理に失敗しました。(InternetOpen)"_s + session.lastResponse());
    }

    if (!settings->tlsError.isEmpty()) {
        log.WriteRunLog(u"暗号化通信（TLS）の設定が正しくないため送信しません。"_s
                        + settings->tlsError);
        session.close();
    }
    if (session.hasHandle() && !session.isConnected()) {
        if (session.connect()) {
            log.WriteRunLog(u"FTPサーバに接続しました。(InternetConnect)"_s);
            if (settings->tls)
                log.WriteRunLog(u"暗号化通信（TLS）を開始しました。(AUTH TLS)"_s);
        } else {
            const QString response = session.lastResponse();
            if (session.failedForTls())
                log.WriteRunLog(u"暗号化通信（TLS）を開始できませんでした。(AUTH TLS)"_s
                                + session.errorText());
            session.close();
            log.WriteRunLog(u"FTPサーバの接続に失敗しました。(InternetConnect)"_s + response);
        }
    }

    if (readable && copy.written()) {
        logTransfer(log, *settings, session, copy.bytes(), fileName);
        copy.committed();
        session.close();
        log.WriteRunLog(u"FTPサーバから切断しました。(InternetCloseHandle)"_s);
        log.WriteRunLog(u"WinInetの終了処理完了。(InternetCloseHandle)"_s);
    }
    session.close();
    curl_global_cleanup();
    log.CloseRunLog();
}
