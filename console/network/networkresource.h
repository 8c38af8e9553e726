#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

/// One resource of the network as the tree shows it: a provider ("network"), a group or a
/// computer. The display types keep the numbering of the Windows network router.
struct NetworkResource
{
    enum DisplayType { Generic = 0, Domain = 1, Server = 2, Share = 3, File = 4, Group = 5,
                       Network = 6, Root = 7, AdminShare = 8, Directory = 9, Tree = 10,
                       NdsContainer = 11 };

    int displayType = Generic;
    QString remoteName; // unique among its siblings; a computer's is "\\" + its name
    QString comment;
    QString provider;
    QString address;    // a computer's IPv4 address when the provider knows it

    /// The part of the remote name after its last "\" (all of it when there is none).
    QString shortName() const;
    /// "Generic", "Domain", "Server", ... for display types 0 to 11; "" for any other.
    QString typeName() const;
    /// The tree's image key: the type name in lower case, "generic" for an empty name, so
    /// that a type without its own icon still gets the default one.
    QString imageKey() const;
};

/// A first-level entry of the tree: one source of computers. Enumeration may finish later
/// (the scan does); every source reports through enumerated(), never blocking its caller for
/// longer than a local file or database read takes.
class NetworkSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    /// The first-level node of this source (display type Network).
    virtual NetworkResource resource() const = 0;
    /// Starts listing the children of the resource at `path` (remote names from this source's
    /// node down, the source's own name first). enumerated() follows, possibly at once.
    virtual void enumerate(const QStringList &path) = 0;

Q_SIGNALS:
    void enumerated(const QStringList &path, const QList<NetworkResource> &children);
};

/// A computer resource named `name` (with the "\\" prefix added) and an optional address.
NetworkResource computerResource(const QString &name, const QString &address,
                                 const QString &provider);
/// A group resource; its remote name is the group's name.
NetworkResource groupResource(const QString &name, const QString &provider);
