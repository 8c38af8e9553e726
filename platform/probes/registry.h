#pragma once

#include "platform/probes/cpuinfo.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

/// The predefined keys, with the handle values of the Windows API.
enum class RegistryRoot : quint32 {
    ClassesRoot = 0x80000000,
    CurrentUser = 0x80000001,
    LocalMachine = 0x80000002,
    Users = 0x80000003,
    PerformanceData = 0x80000004,
    CurrentConfig = 0x80000005,
    DynData = 0x80000006,
};

/// What a value query returns: its type and its data, as RegQueryValueExA gives them (strings
/// in the ANSI code page with their NULs).
struct RegistryValue
{
    bool found = false;
    quint32 type = 0;
    QByteArray bytes;
};

/// The registry, read-only: keys from .reg hive files plus live keys computed from the system
/// (the processor, and the installed Debian packages as Uninstall keys). Key and value names
/// compare without regard to case. Hives and the package database are read on first use.
class Registry
{
public:
    struct Sources
    {
        /// Folders whose *.reg files are applied in order (files by name within a folder):
        /// what a later file sets or deletes wins.
        QStringList hiveFolders;
        QString dpkgStatusPath = QStringLiteral("/var/lib/dpkg/status");
        std::function<CpuInfo()> cpuInfo = readCpuInfo;
    };

    /// /etc/tarvo/registry, then the folder "registry" of the program folder.
    static Sources defaultSources(const QString &programFolder);
    /// The root a name stands for; names compare exactly (case-sensitive), as the collector's
    /// definitions require.
    static std::optional<RegistryRoot> rootFromName(QStringView name);

    explicit Registry(Sources sources);
    ~Registry();
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;

    /// True when the key exists (RegOpenKeyExA would succeed). An empty sub key is the root.
    bool openKey(RegistryRoot root, const QString &subKey) const;
    /// A value of a key; "" names the default value. found is false when the key or the value
    /// is missing.
    RegistryValue queryValue(RegistryRoot root, const QString &subKey, const QString &valueName) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
