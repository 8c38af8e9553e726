#include "collector/mail/mailmessage.h"

#include "collector/mail/bassmtp.h"
#include "common/codepage.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace MailMessage {

namespace {

const QString Crlf = u"\r\n"_s;

QString headerBlock(const MailContent &content)
{
    return u"Subject:"_s + content.subject + Crlf
         + u"From:\""_s + content.fromName + u"\" <"_s + content.fromAddress + u">"_s + Crlf
         + u"To:"_s + content.recipients + Crlf;
}

QByteArray convertedBody(const QString &body)
{
    return basSmtp::ToIso2022Jp(basSmtp::ToFullWidthKana(body));
}

QByteArray attachmentPart(const QString &path)
{
    const QByteArray delimiter = "--"_ba + Boundary + "\r\n";
    QByteArray text;
    // A file that vanished since the list was made is sent empty rather than dropping the mail.
    basSmtp::Base64File(path, text);
    return delimiter
         + "Content-Type: application/octet-stream; name=\""_ba
         + CodePage::toAnsi(QFileInfo(path).fileName()) + "\"\r\n"
         + "Content-Transfer-Encoding: base64\r\n\r\n"_ba
         + text + "\r\n\r\n";
}

QByteArray withAttachments(const MailContent &content)
{
    const QString header = headerBlock(content) + u"Content-type: multipart/mixed; boundary=\""_s
                         + QLatin1StringView(Boundary) + u"\""_s + Crlf;
    QByteArray message = basSmtp::FinishHeaderBlock(header);
    if (!content.body.trimmed().isEmpty()) {
        message += "--"_ba + Boundary + "\r\n"
                 + "Content-Type: text/plain; charset=iso-2022-jp\r\n\r\n"_ba
                 + convertedBody(content.body) + "\r\n";
    }
    for (qsizetype i = 0; i < content.attachments.size(); ++i) {
        message += attachmentPart(content.attachments[i]);
        // The next part opens with its own delimiter line: between two attachments the
        // delimiter appears twice, which readers take as an empty part.
        const bool last = i + 1 == content.attachments.size();
        message += "--"_ba + Boundary + (last ? "--\r\n" : "\r\n");
    }
    return message;
}

QByteArray withoutAttachments(const MailContent &content)
{
    QString header = headerBlock(content);
    const bool japanese = basSmtp::HasJapanese(header) || basSmtp::HasJapanese(content.body);
    header += japanese ? u"Content-Type: text/plain; charset=iso-2022-jp"_s
                       : u"Content-Type: text/plain; charset=us-ascii"_s;
    header += Crlf;
    QByteArray message = basSmtp::FinishHeaderBlock(header);
    if (!content.body.trimmed().isEmpty())
        message += convertedBody(content.body) + "\r\n";
    return message;
}

} // namespace

QByteArray Build(const MailContent &content)
{
    return content.attachments.isEmpty() ? withoutAttachments(content) : withAttachments(content);
}

QByteArray DataPayload(QByteArrayView message)
{
    QByteArray payload;
    payload.reserve(message.size() + message.size() / 64 + 8);
    qsizetype start = 0;
    while (true) {
        const qsizetype end = message.indexOf("\r\n", start);
        const QByteArrayView line =
            message.sliced(start, (end < 0 ? message.size() : end) - start);
        if (line.startsWith('.'))
            payload.append('.');
        payload.append(line).append("\r\n");
        if (end < 0)
            break;
        start = end + 2;
    }
    payload.append("\r\n.\r\n");
    return payload;
}

} // namespace MailMessage
