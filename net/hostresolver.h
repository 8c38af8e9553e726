#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QThreadPool;

/// Looks host names up without holding the caller's thread: lookUp() returns at once and
/// lookedUp() follows on the thread the resolver lives on (the event thread).
class HostResolver : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    /// Starts a lookup of `name`. lookedUp() follows once, or never when the resolver never
    /// answers: callers bound their wait themselves.
    virtual void lookUp(const QString &name) = 0;
    /// How many lookups a caller may start at once (a batch's MaxControl); a resolver with
    /// threads sizes them to it.
    virtual void expectConcurrent(int lookups) { Q_UNUSED(lookups); }

Q_SIGNALS:
    /// `address`: the first IPv4 address of `name` in dotted form, or "" when the name is
    /// unknown, with `wsaError` the Windows Sockets code of the failure (11001, ...).
    void lookedUp(const QString &name, const QString &address, int wsaError);
};

/// The system's resolver (getaddrinfo, so /etc/hosts and the site's name services apply), run
/// on a bounded pool of threads of its own, never on the event thread. Destroying it never
/// waits for a lookup that hangs.
class SystemHostResolver : public HostResolver
{
    Q_OBJECT
public:
    /// Enough threads that a batch of 256 workers never waits for one; more would only hold
    /// memory for lookups that queue at the name server anyway.
    static constexpr int MaxThreads = 256;
    /// A few even for one connection: a lookup that hangs holds its thread until the name
    /// service gives up, and the next command's lookup must not queue behind it.
    static constexpr int MinThreads = 4;

    explicit SystemHostResolver(QObject *parent = nullptr);
    ~SystemHostResolver() override;

    void lookUp(const QString &name) override;
    /// Threads: `lookups` bounded to MinThreads..MaxThreads (never fewer than asked before).
    void expectConcurrent(int lookups) override;
    int maxThreads() const;

private:
    struct Relay;
    std::shared_ptr<Relay> m_relay;
    QThreadPool *m_pool;
};
