#include "platform/probes/msnetwork.h"

#include <functional>

using namespace Qt::StringLiterals;

namespace SysProbe {

namespace {

// Calls sink(section, key, value) for each setting of an ini-style file (smb.conf, sssd.conf):
// "#" and ";" comments, "\" continues a line, names lower case with blanks and "_" dropped
// (Samba treats "work group" and "workgroup" alike).
void forEachSetting(QByteArrayView text,
                    const std::function<void(const QString &, const QString &, const QString &)> &sink)
{
    QString section;
    QByteArray pending;
    const QList<QByteArray> rawLines = QByteArray(text.data(), text.size()).split('\n');
    for (const QByteArray &raw : rawLines) {
        QByteArray line = raw.trimmed();
        if (line.endsWith('\\')) {
            pending += line.chopped(1) + ' ';
            continue;
        }
        line = QByteArray(pending + line).trimmed();
        pending.clear();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            section = QString::fromUtf8(line.mid(1, close < 0 ? -1 : close - 1)).trimmed().toLower();
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        QString key = QString::fromUtf8(line.first(equals)).toLower();
        key.remove(u' ').remove(u'\t').remove(u'_');
        sink(section, key, QString::fromUtf8(line.sliced(equals + 1)).trimmed());
    }
}

} // namespace

SambaGlobals parseSmbConf(QByteArrayView smbConf)
{
    SambaGlobals globals;
    globals.present = !QByteArrayView(smbConf).trimmed().isEmpty();
    forEachSetting(smbConf, [&](const QString &section, const QString &key, const QString &value) {
        if (section != u"global"_s)
            return;
        if (key == u"workgroup"_s)
            globals.workgroup = value;
        else if (key == u"security"_s)
            globals.security = value.toLower();
        else if (key == u"realm"_s)
            globals.realm = value;
    });
    return globals;
}

QString parseSssdDomain(QByteArrayView sssdConf)
{
    QStringList domains;
    QHash<QString, QString> providers; // section -> id_provider
    forEachSetting(sssdConf, [&](const QString &section, const QString &key, const QString &value) {
        if (section == u"sssd"_s && key == u"domains"_s) {
            domains.clear();
            for (const QString &name : value.split(u',', Qt::SkipEmptyParts))
                domains << name.trimmed();
        } else if (key == u"idprovider"_s) {
            providers[section] = value.toLower();
        }
    });
    for (const QString &domain : domains) {
        const QString provider = providers.value(u"domain/"_s + domain.toLower());
        if (provider == u"ad"_s || provider == u"ipa"_s)
            return domain;
    }
    return {};
}

MsNetwork microsoftNetwork(QByteArrayView smbConf, QByteArrayView sssdConf)
{
    const SambaGlobals samba = parseSmbConf(smbConf);
    if (samba.security == u"ads"_s || samba.security == u"domain"_s) {
        const QString name = samba.workgroup.isEmpty() ? samba.realm : samba.workgroup;
        if (!name.isEmpty())
            return {u"ドメイン"_s, name};
    }
    const QString sssdDomain = parseSssdDomain(sssdConf);
    if (!sssdDomain.isEmpty())
        return {u"ドメイン"_s, sssdDomain};
    if (samba.present) {
        // Samba's own default when smb.conf names no workgroup.
        return {u"ワークグループ"_s, samba.workgroup.isEmpty() ? u"WORKGROUP"_s : samba.workgroup};
    }
    return {u"不明"_s, QString()};
}

void probeMicrosoftNetwork(ItemTexts &items)
{
    const MsNetwork network = microsoftNetwork(readSmallFile(u"/etc/samba/smb.conf"_s),
                                               readSmallFile(u"/etc/sssd/sssd.conf"_s));
    items[u"SysMicrosoftNetworkType"_s] = network.type;
    items[u"SysMicrosoftNetwork"_s] = network.name;
}

} // namespace SysProbe
