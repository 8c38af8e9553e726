#pragma once

#include <QString>
#include <QtGlobal>

/// What a stream connection reads and writes through: the plain socket, or an encrypted session
/// over it. The connection owns the descriptor and its notifiers; a transport only moves bytes
/// and says which readiness it needs next, so the connection's users never see the difference.
/// Every call returns at once: nothing here blocks or waits.
class Transport
{
public:
    enum class Io {
        Done,      // the call did what it could: `bytes` moved (a handshake is complete)
        WantRead,  // call again when the socket is readable
        WantWrite, // call again when the socket is writable
        Closed,    // the peer ended the stream in order
        Failed,    // the stream is broken: `wsaError` and `errorText` say why
    };

    struct Result
    {
        Io io = Io::Done;
        qint64 bytes = 0;
        int wsaError = 0;
        QString errorText;
    };

    virtual ~Transport() = default;

    /// Drives the opening of the byte stream; Done once data can flow (at once for plain).
    virtual Result handshake() = 0;
    /// Reads at most `max` bytes into `data`.
    virtual Result read(char *data, qint64 max) = 0;
    /// Writes at most `size` bytes of `data`; `bytes` says how many were taken.
    virtual Result write(const char *data, qint64 size) = 0;
    /// Sends what the transport holds of the bytes write() has taken; Done once nothing is left.
    /// A sender calls it when its data are all taken, before it says they have gone.
    virtual Result flush() { return {}; }
    /// Bytes already taken off the socket that it will not signal again (more than 0: read
    /// again from the event loop).
    virtual qint64 pendingBytes() const { return 0; }
    /// A short description of the stream for log lines ("" for plain); never holds a secret.
    virtual QString description() const { return {}; }
    /// Ends the stream in order where the protocol has such an end; never blocks. The connection
    /// closes the descriptor afterwards.
    virtual void shutdown() {}
};
