#include "platform/probes/registry.h"

#include "common/codepage.h"
#include "platform/probes/dpkgstatus.h"
#include "platform/probes/regfile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

const QString CpuKey = u"hkey_local_machine\\hardware\\description\\system\\centralprocessor\\0"_s;
const QString UninstallKey =
    u"hkey_local_machine\\software\\microsoft\\windows\\currentversion\\uninstall"_s;

bool isAncestorOrSelf(const QString &folded, const QString &key)
{
    return key == folded || key.startsWith(folded + u'\\');
}

QString rootText(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::ClassesRoot: return u"HKEY_CLASSES_ROOT"_s;
    case RegistryRoot::CurrentUser: return u"HKEY_CURRENT_USER"_s;
    case RegistryRoot::LocalMachine: return u"HKEY_LOCAL_MACHINE"_s;
    case RegistryRoot::Users: return u"HKEY_USERS"_s;
    case RegistryRoot::PerformanceData: return u"HKEY_PERFORMANCE_DATA"_s;
    case RegistryRoot::CurrentConfig: return u"HKEY_CURRENT_CONFIG"_s;
    case RegistryRoot::DynData: return u"HKEY_DYN_DATA"_s;
    }
    return {};
}

RegistryValue ansiString(const QString &text)
{
    return {true, 1, CodePage::toAnsi(text) + '\0'};
}

RegistryValue dword(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian<quint32>(value, bytes.data());
    return {true, 4, bytes};
}

// RegQueryValueExA hands string values over in the ANSI code page, NULs kept in place.
QByteArray ansiFromWide(const QByteArray &wide)
{
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(wide.constData()),
                                            wide.size() / 2);
    QByteArray ansi;
    bool first = true;
    for (QStringView part : QStringView(text).split(QChar(0))) {
        if (!first)
            ansi += '\0';
        ansi += CodePage::toAnsi(part);
        first = false;
    }
    return ansi;
}

} // namespace

struct Registry::Private
{
    Sources sources;
    mutable std::optional<RegHive> hive;
    mutable std::optional<QHash<QByteArray, QByteArray>> packages;
    mutable std::optional<CpuInfo> cpu;

    const RegHive &hives() const
    {
        if (!hive) {
            hive.emplace();
            for (const QString &folder : sources.hiveFolders) {
                const QDir dir(folder);
                const QStringList names =
                    dir.entryList({u"*.reg"_s}, QDir::Files | QDir::Readable, QDir::Name);
                for (const QString &name : names) {
                    QFile file(dir.filePath(name));
                    if (file.open(QIODevice::ReadOnly))
                        hive->apply(RegFileParser::parse(file.readAll()));
                }
            }
        }
        return *hive;
    }

    const CpuInfo &cpuInfo() const
    {
        if (!cpu)
            cpu = sources.cpuInfo ? sources.cpuInfo() : CpuInfo{};
        return *cpu;
    }

    // The package a folded key path names below the Uninstall key, or "" for any other key.
    QByteArray packageOf(const QString &folded) const
    {
        const QString prefix = UninstallKey + u'\\';
        if (!folded.startsWith(prefix) || folded.indexOf(u'\\', prefix.size()) >= 0)
            return {};
        if (!packages)
            packages = DpkgStatus::readInstalled(sources.dpkgStatusPath);
        const QByteArray name = folded.sliced(prefix.size()).toUtf8();
        return packages->contains(name) ? name : QByteArray();
    }

    bool liveKey(const QString &folded) const
    {
        return isAncestorOrSelf(folded, CpuKey) || isAncestorOrSelf(folded, UninstallKey)
               || !packageOf(folded).isEmpty();
    }

    RegistryValue liveValue(const QString &folded, const QString &name) const
    {
        if (folded == CpuKey) {
            const CpuInfo &info = cpuInfo();
            if (name == u"~mhz" && info.mhz > 0)
                return dword(quint32(info.mhz));
            if (name == u"processornamestring" && !info.modelName.isEmpty())
                return ansiString(info.modelName);
            if (name == u"vendoridentifier" && !info.vendor.isEmpty())
                return ansiString(info.vendor);
            return {};
        }
        const QByteArray package = packageOf(folded);
        if (package.isEmpty())
            return {};
        if (name == u"displayname")
            return ansiString(QString::fromUtf8(package));
        if (name == u"displayversion")
            return ansiString(QString::fromUtf8(packages->value(package)));
        return {};
    }
};

Registry::Sources Registry::defaultSources(const QString &programFolder)
{
    Sources sources;
    sources.hiveFolders = {u"/etc/tarvo/registry"_s, QDir(programFolder).filePath(u"registry"_s)};
    return sources;
}

std::optional<RegistryRoot> Registry::rootFromName(QStringView name)
{
    for (quint32 handle = 0x80000000; handle <= 0x80000006; ++handle) {
        const auto root = RegistryRoot(handle);
        if (name == rootText(root))
            return root;
    }
    return std::nullopt;
}

Registry::Registry(Sources sources)
    : d(std::make_unique<Private>())
{
    d->sources = std::move(sources);
}

Registry::~Registry() = default;

bool Registry::openKey(RegistryRoot root, const QString &subKey) const
{
    const QString path = RegHive::foldedPath(QString(rootText(root) + u'\\' + subKey));
    return d->liveKey(path) || d->hives().hasKey(path) || !path.contains(u'\\');
}

RegistryValue Registry::queryValue(RegistryRoot root, const QString &subKey,
                                   const QString &valueName) const
{
    const QString path = RegHive::foldedPath(QString(rootText(root) + u'\\' + subKey));
    const QString name = valueName.toCaseFolded();
    if (RegistryValue live = d->liveValue(path, name); live.found)
        return live;
    const RegData *data = d->hives().value(path, valueName);
    if (!data)
        return {};
    const bool stringType = data->type == 1 || data->type == 2 || data->type == 7;
    return {true, data->type, stringType && data->wide ? ansiFromWide(data->bytes) : data->bytes};
}
