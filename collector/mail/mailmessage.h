#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

/// What a result mail carries.
struct MailContent
{
    QString fromAddress;
    QString fromName;
    QString recipients; // addresses separated by ";", written to the To line unchanged
    QString subject;
    QString body;
    QStringList attachments; // file paths, attached in this order
};

/// The mail as it is handed to the server: header block (encoded words, folded), then either a
/// text/plain body or a multipart/mixed body of the ISO-2022-JP text and base64 attachments.
namespace MailMessage {

/// The delimiter of the multipart body.
inline constexpr char Boundary[] = "zqSendMail Attachment Boundary";

/// The message with CR LF line ends, before dot-stuffing.
QByteArray Build(const MailContent &content);
/// The DATA payload: every line of `message` with a leading "." doubled and ended by CR LF,
/// then the end-of-data line.
QByteArray DataPayload(QByteArrayView message);

} // namespace MailMessage
