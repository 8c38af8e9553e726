#include "console/connection/namelookup.h"

#include "console/connection/nametable.h"
#include "net/hostresolver.h"

NameLookup::NameLookup(const NameTable &names, int concurrency, QObject *parent)
    : QObject(parent), m_names(names), m_resolver(names.resolver())
{
    m_resolver.expectConcurrent(concurrency);
    connect(&m_resolver, &HostResolver::lookedUp, this, &NameLookup::onLookedUp);
}

NameLookup::~NameLookup() = default;

void NameLookup::find(const QString &host, const QObject *context, Callback done)
{
    if (NameTable::isDottedAddress(host)) {
        done(Target{host, 0});
        return;
    }
    const QString key = host.toLower();
    const auto known = m_known.constFind(key);
    if (known != m_known.cend()) {
        done(*known);
        return;
    }
    auto waiting = m_waiting.find(key);
    const bool asked = waiting != m_waiting.end();
    if (!asked)
        waiting = m_waiting.insert(key, {});
    waiting->append(Waiter{context, std::move(done)});
    if (!asked) {
        ++m_lookups;
        m_resolver.lookUp(host);
    }
}

NameLookup::Target NameLookup::targetOf(const QString &name, const QString &address,
                                        int wsaError) const
{
    if (!address.isEmpty())
        return {address, 0};
    const QString known = m_names.address(name);
    // A provider's address may itself be a name: it is not looked up again, and an address
    // that is no dotted one cannot be connected to without a second lookup.
    if (NameTable::isDottedAddress(known))
        return {known, 0};
    return {QString(), wsaError};
}

void NameLookup::onLookedUp(const QString &name, const QString &address, int wsaError)
{
    // The resolver is shared by every run: an answer this run did not ask for is not its own.
    const auto waiting = m_waiting.find(name.toLower());
    if (waiting == m_waiting.end())
        return;
    const QList<Waiter> waiters = std::move(waiting.value());
    m_waiting.erase(waiting);
    const Target target = targetOf(name, address, wsaError);
    m_known.insert(name.toLower(), target);
    for (const Waiter &waiter : waiters) {
        if (waiter.context)
            waiter.done(target);
    }
}
