#include "net/tlswire.h"

#include "net/baswsock.h"

#include <openssl/bio.h>

#include <mutex>

namespace TlsWire {

namespace {

TlsTransport::Wire *wireOf(BIO *bio)
{
    return static_cast<TlsTransport::Wire *>(BIO_get_data(bio));
}

// Not a retry: a real socket error, kept for the caller's error text.
int socketFailed(TlsTransport::Wire *wire, BIO *bio, bool reading)
{
    const int code = basWSock::LastError();
    if (code != basWSock::WsaEWouldBlock) {
        wire->wsaError = code;
        return -1;
    }
    if (reading)
        BIO_set_retry_read(bio);
    else
        BIO_set_retry_write(bio);
    return -1;
}

int wireWrite(BIO *bio, const char *data, int size)
{
    BIO_clear_retry_flags(bio);
    TlsTransport::Wire *wire = wireOf(bio);
    QString errorText;
    const qint64 sent = basWSock::Send(wire->socket, data, size, errorText);
    if (sent < 0)
        return socketFailed(wire, bio, false);
    return int(sent);
}

int wireRead(BIO *bio, char *data, int size)
{
    BIO_clear_retry_flags(bio);
    TlsTransport::Wire *wire = wireOf(bio);
    QString errorText;
    const qint64 got = basWSock::Recv(wire->socket, data, size, errorText);
    if (got < 0)
        return socketFailed(wire, bio, true);
    if (got > 0 && wire->firstByte < 0)
        wire->firstByte = uchar(data[0]);
    return int(got);
}

long wireControl(BIO *, int command, long, void *)
{
    // Writes go straight to the socket: there is never anything to flush.
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int wireCreate(BIO *bio)
{
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD *method()
{
    static BIO_METHOD *wireMethod = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        wireMethod = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tarvo socket");
        if (!wireMethod)
            return;
        BIO_meth_set_write(wireMethod, wireWrite);
        BIO_meth_set_read(wireMethod, wireRead);
        BIO_meth_set_ctrl(wireMethod, wireControl);
        BIO_meth_set_create(wireMethod, wireCreate);
    });
    return wireMethod;
}

} // namespace

BIO *newBio(TlsTransport::Wire *wire)
{
    BIO_METHOD *wireMethod = method();
    BIO *bio = wireMethod ? BIO_new(wireMethod) : nullptr;
    if (bio)
        BIO_set_data(bio, wire);
    return bio;
}

} // namespace TlsWire
