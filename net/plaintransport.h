#pragma once

#include "net/transport.h"

/// The byte stream of a bare socket: reads and writes go straight to recv() and send().
class PlainTransport : public Transport
{
public:
    /// Moves the bytes of `socket`; the owner keeps the descriptor and closes it.
    explicit PlainTransport(int socket) : m_socket(socket) {}

    Result handshake() override { return {}; }
    Result read(char *data, qint64 max) override;
    Result write(const char *data, qint64 size) override;

private:
    int m_socket;
};
