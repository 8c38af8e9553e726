#include "net/plaintransport.h"

#include "net/baswsock.h"

namespace {

// A would-block call waits for the readiness the call needs; any other error is final.
Transport::Result outcome(qint64 count, Transport::Io wait, QString errorText)
{
    if (count >= 0)
        return {Transport::Io::Done, count, 0, {}};
    const int code = basWSock::LastError();
    if (code == basWSock::WsaEWouldBlock)
        return {wait, 0, 0, {}};
    return {Transport::Io::Failed, 0, code, std::move(errorText)};
}

} // namespace

Transport::Result PlainTransport::read(char *data, qint64 max)
{
    QString errorText;
    const qint64 count = basWSock::Recv(m_socket, data, max, errorText);
    if (count == 0 && max > 0)
        return {Io::Closed, 0, 0, {}};
    return outcome(count, Io::WantRead, std::move(errorText));
}

Transport::Result PlainTransport::write(const char *data, qint64 size)
{
    QString errorText;
    const qint64 count = basWSock::Send(m_socket, data, size, errorText);
    return outcome(count, Io::WantWrite, std::move(errorText));
}
