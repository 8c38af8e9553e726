#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class HostResolver;
class NameTable;

/// The name lookups of one run (a batch, a status round, a round of a waking batch, one command
/// of the single connection). A dotted address is used as it stands; a name is asked of the resolver
/// once per run, however many workers want it; when the resolver does not know the name, the
/// address a provider put into the name table is used instead.
class NameLookup : public QObject
{
    Q_OBJECT
public:
    /// Where to connect: a dotted address, or "" when the name is unknown to both the resolver
    /// and the name table, with `wsaError` the resolver's Windows Sockets code.
    struct Target
    {
        QString address;
        int wsaError = 0;
    };
    using Callback = std::function<void(const Target &)>;

    /// `concurrency`: how many lookups the run may have under way (its MaxControl).
    NameLookup(const NameTable &names, int concurrency, QObject *parent = nullptr);
    ~NameLookup() override;

    /// Calls `done` with the target of `host`: at once when it is already known, else from the
    /// event loop when the resolver answers. Never after `context` is destroyed; a caller that
    /// gave up (its time-out) ignores a late call itself.
    void find(const QString &host, const QObject *context, Callback done);
    /// The names given to the resolver in this run.
    int lookups() const { return m_lookups; }

private:
    struct Waiter
    {
        QPointer<const QObject> context;
        Callback done;
    };

    void onLookedUp(const QString &name, const QString &address, int wsaError);
    Target targetOf(const QString &name, const QString &address, int wsaError) const;

    const NameTable &m_names;
    HostResolver &m_resolver;
    QHash<QString, Target> m_known;          // key: name in lower case
    QHash<QString, QList<Waiter>> m_waiting; // key: name in lower case; one lookup under way
    int m_lookups = 0;
};
