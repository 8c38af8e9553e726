#include "collector/mailstep.h"

#include "collector/mail/sendemail.h"
#include "collector/runcontext.h"
#include "collector/runlog.h"
#include "common/agentinikeys.h"
#include "common/atomicfile.h"
#include "common/clock.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>

using namespace Qt::StringLiterals;
using namespace AgentIni;

namespace {

QString resultText(int result)
{
    switch (result) {
    case SendEmail::Accepted: return u"メールの送信に成功しました。"_s;
    case SendEmail::NotFinished: return u"メール送信プログラム起動時にエラーが発生しました。"_s;
    case SendEmail::ReceiveError: return u"データ受信エラーが発生しました。"_s;
    case SendEmail::ConnectionClosed: return u"メールサーバとの接続が切れました。"_s;
    case SendEmail::SendError: return u"データ送信エラーが発生しました。"_s;
    case SendEmail::GreetingFailed: return u"メールサーバ接続時にエラーが発生しました。"_s;
    case SendEmail::HeloFailed: return u"SMTPコマンド（HELO）に失敗しました。"_s;
    case SendEmail::MailFromFailed: return u"SMTPコマンド（MAIL FROM）に失敗しました。"_s;
    case SendEmail::RcptFailed: return u"SMTPコマンド（RCPT）に失敗しました。"_s;
    case SendEmail::DataFailed: return u"SMTPコマンド（DATA）に失敗しました。"_s;
    case SendEmail::SocketFailed: return u"Socketの生成に失敗しました。"_s;
    case SendEmail::MessageRefused: return u"メールサーバがメッセージを受け付けませんでした。"_s;
    case SendEmail::TlsFailed: return u"暗号化通信（TLS）に失敗しました。"_s;
    case SendEmail::AuthFailed: return u"SMTP認証に失敗しました。"_s;
    default: return QString();
    }
}

bool readable(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

// SmtpTls and the login, checked; a reason when the mail must not go out.
QString readSecurity(const RunContext &run, SmtpSecurity &security)
{
    const QString tls = run.setting(InfoKey::SmtpTls).trimmed();
    if (tls == u"1")
        security.tls = SmtpSecurity::Tls::StartTls;
    else if (tls == u"2")
        security.tls = SmtpSecurity::Tls::Implicit;
    else if (!tls.isEmpty() && tls != u"0") // a "yes" must never send in the clear
        return u"SmtpTlsは0、1、2のいずれかで指定してください。("_s + tls + u')';
    security.user = run.setting(InfoKey::SmtpUser).trimmed();
    security.password = run.setting(InfoKey::SmtpPassword);
    if (!security.user.isEmpty() && security.tls == SmtpSecurity::Tls::None)
        return u"SMTP認証は暗号化通信でのみ行います。SmtpTlsを1か2で指定してください。"_s;
    return {};
}

int sendAndWait(SendEmailArgs args, RunLog &log)
{
    SendEmail client(std::move(args));
    QObject::connect(&client, &SendEmail::logged, &client,
                     [&log](const QString &line) { log.WriteRunLog(line); });
    QEventLoop loop;
    QObject::connect(&client, &SendEmail::finished, &loop, &QEventLoop::quit);
    client.start();
    // The client's time-out guarantees that the loop ends.
    if (!client.isFinished())
        loop.exec();
    return client.result();
}

} // namespace

void SendMailStep(RunContext &run)
{
    const QString insertFile = run.outputFile(u".INSERT.SQL"_s);
    const QString updateFile = run.outputFile(u".UPDATE.SQL"_s);
    const QString dataFile = run.outputFile(u".DAT"_s);
    if (!run.copyDataFile(dataFile))
        return;

    SendEmailArgs args;
    // The SQL files of an earlier run go along when this run has no SQL step.
    for (const QString &file : {dataFile, insertFile, updateFile}) {
        if (readable(file))
            args.mail.attachments.append(file);
    }
    args.server = run.setting(InfoKey::SmtpServer);
    args.port = run.setting(InfoKey::SmtpPort);
    args.mail.fromAddress = run.setting(InfoKey::From);
    args.mail.recipients = run.setting(InfoKey::To);
    args.mail.subject = run.setting(InfoKey::Subject);
    args.mail.body = u"添付ファイルを参照ください。"_s;
    args.timeoutMs = run.mailTimeoutMs;
    const QString refusal = readSecurity(run, args.security);
    const QString caFile = run.setting(InfoKey::SmtpCaFile).trimmed();
    if (!caFile.isEmpty())
        args.caFile = QDir(run.folder).absoluteFilePath(caFile);

    static const Clock systemClock;
    RunLog log(run.clock ? *run.clock : systemClock);
    log.OpenRunLog(run.outputFile(u".MAIL.LOG"_s));
    if (refusal.isEmpty())
        log.WriteRunLog(resultText(sendAndWait(std::move(args), log)));
    else
        log.WriteRunLog(u"暗号化通信（TLS）の設定が正しくないため送信しません。"_s + refusal);
    log.CloseRunLog();
}
