#include "console/network/networkresource.h"

#include <array>

using namespace Qt::Literals::StringLiterals;

QString NetworkResource::shortName() const
{
    const qsizetype slash = remoteName.lastIndexOf(u'\\');
    return slash < 0 ? remoteName : remoteName.mid(slash + 1);
}

QString NetworkResource::typeName() const
{
    static const std::array<QString, 12> names = {
        u"Generic"_s, u"Domain"_s, u"Server"_s, u"Share"_s, u"File"_s, u"Group"_s,
        u"Network"_s, u"Root"_s, u"AdminShare"_s, u"Directory"_s, u"Tree"_s,
        u"NDSContainer"_s};
    if (displayType < 0 || displayType >= int(names.size()))
        return {};
    return names[std::size_t(displayType)];
}

QString NetworkResource::imageKey() const
{
    const QString name = typeName().toLower();
    return name.isEmpty() ? u"generic"_s : name;
}

NetworkResource computerResource(const QString &name, const QString &address,
                                 const QString &provider)
{
    NetworkResource resource;
    resource.displayType = NetworkResource::Server;
    resource.remoteName = u"\\\\"_s + name;
    resource.address = address;
    resource.provider = provider;
    return resource;
}

NetworkResource groupResource(const QString &name, const QString &provider)
{
    NetworkResource resource;
    resource.displayType = NetworkResource::Group;
    resource.remoteName = name;
    resource.provider = provider;
    return resource;
}
