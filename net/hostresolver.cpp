#include "net/hostresolver.h"

#include "net/baswsock.h"

#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QThreadPool>

/// What a lookup thread reports to: cleared when the resolver goes, so that an answer that comes
/// after it is dropped instead of reaching a deleted object.
struct SystemHostResolver::Relay
{
    QMutex mutex;
    SystemHostResolver *owner = nullptr;
};

SystemHostResolver::SystemHostResolver(QObject *parent)
    : HostResolver(parent), m_relay(std::make_shared<Relay>()), m_pool(new QThreadPool)
{
    m_relay->owner = this;
    m_pool->setMaxThreadCount(MinThreads);
}

SystemHostResolver::~SystemHostResolver()
{
    {
        QMutexLocker lock(&m_relay->mutex);
        m_relay->owner = nullptr;
    }
    m_pool->clear();
    // A thread inside getaddrinfo cannot be stopped, and ~QThreadPool waits for every running
    // task: an exit must not hang on a name server that does not answer. Such a pool is left
    // to the end of the process; its threads touch only the relay, which they share.
    if (m_pool->activeThreadCount() == 0)
        delete m_pool;
}

void SystemHostResolver::expectConcurrent(int lookups)
{
    const int threads = qBound(int(MinThreads), lookups, int(MaxThreads));
    if (threads > m_pool->maxThreadCount())
        m_pool->setMaxThreadCount(threads);
}

int SystemHostResolver::maxThreads() const
{
    return m_pool->maxThreadCount();
}

void SystemHostResolver::lookUp(const QString &name)
{
    m_pool->start([relay = m_relay, name] {
        const QString address = basWSock::HostToAddress(name);
        // LastError() is per thread: read it on the thread that did the lookup.
        const int error = address.isEmpty() ? basWSock::LastError() : 0;
        QMutexLocker lock(&relay->mutex);
        if (SystemHostResolver *owner = relay->owner) {
            // Queued to the resolver's thread; an event still pending when the resolver is
            // deleted is discarded with it.
            QMetaObject::invokeMethod(owner, [owner, name, address, error] {
                Q_EMIT owner->lookedUp(name, address, error);
            }, Qt::QueuedConnection);
        }
    });
}
