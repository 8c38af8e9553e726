#pragma once

#include <QByteArray>

#include <functional>

/// A connected TCP pair on 127.0.0.1 made with the socket layer itself: `client` connected
/// to `server`, the socket accepted from `listener`. Every socket is closed on destruction.
struct LoopbackPair
{
    int listener = -1;
    int client = -1;
    int server = -1;

    LoopbackPair() = default;
    LoopbackPair(const LoopbackPair &) = delete;
    LoopbackPair &operator=(const LoopbackPair &) = delete;
    ~LoopbackPair();

    /// Listens on an ephemeral port, connects and accepts through the event loop.
    bool open();
    void closeServer();
};

/// A socket bound to an ephemeral loopback port without listening, so that a connect to
/// `port` is refused for as long as it lives.
struct ClosedPort
{
    int holder = -1;
    int port = -1;

    ClosedPort();
    ClosedPort(const ClosedPort &) = delete;
    ClosedPort &operator=(const ClosedPort &) = delete;
    ~ClosedPort();
};

/// n bytes of a pattern with a period of 251 * 251 bytes, so a lost, doubled or reordered
/// block shows up in a comparison.
QByteArray patternBytes(qsizetype n);

/// Runs the event loop until `done()` holds (checked whenever the loop is about to wait) or
/// `timeoutMs` pass; returns `done()`. Unlike QTRY_*, it never sleeps between passes.
bool waitUntil(const std::function<bool()> &done, int timeoutMs);
