#include "console/batch/wakerun.h"

#include "console/settings/consolesettings.h"
#include "console/network/macdirectory.h"
#include "net/wakeonlan.h"

#include <QMetaObject>

using namespace Qt::StringLiterals;

WakeRun::WakeRun(const ConsoleSettings &settings, MacDirectory &macs, QObject *parent)
    : QObject(parent), m_settings(settings), m_macs(macs)
{
}

WakeRun::~WakeRun() = default;

QStringList WakeRun::headers()
{
    return {u"コンピュータ名"_s, u"結果"_s, u"MACアドレス"_s, u"ステータス"_s};
}

bool WakeRun::open(QString &errorText)
{
    const QString address = m_settings.WakeAddress.trimmed().isEmpty()
                                ? QString::fromUtf16(WakeOnLan::DefaultAddress)
                                : m_settings.WakeAddress.trimmed();
    quint16 port = WakeOnLan::DefaultPort;
    if (!m_settings.WakePort.trimmed().isEmpty()) {
        bool ok = false;
        const int number = m_settings.WakePort.trimmed().toInt(&ok);
        if (!ok || number < 1 || number > 0xFFFF) {
            errorText = u"WakePortは1～65535の数値で指定してください。("_s + m_settings.WakePort + u')';
            return false;
        }
        port = quint16(number);
    }
    delete m_sender;
    m_sender = new WakeSender(address, port, qMax<int>(1, m_settings.MaxControlCount), this);
    connect(m_sender, &WakeSender::sent, this,
            [this](int row) { finishRow(row, true, u"マジックパケット送信！"_s); });
    connect(m_sender, &WakeSender::failed, this,
            [this](int row, const QString &text) { finishRow(row, false, text); });
    return m_sender->open(errorText);
}

void WakeRun::start(const QStringList &hosts)
{
    const int first = int(m_rows.size());
    for (const QString &host : hosts)
        m_rows.append({host, QString(), QString(), QString()});
    m_left += int(hosts.size());
    for (int row = first; row < m_rows.size(); ++row) {
        const auto text = m_macs.macText(m_rows[row].host);
        const auto mac = text ? WakeOnLan::parseMac(*text) : std::nullopt;
        if (text)
            m_rows[row].mac = text->trimmed();
        // Reported from the event loop, as a sent packet is: start() never finishes a row itself.
        if (!text || !mac || !m_sender) {
            const QString status = !text  ? u"MACアドレスが不明です！"_s
                                   : !mac ? u"MACアドレスが不正です！"_s
                                          : u"送信できません！"_s;
            QMetaObject::invokeMethod(this, [this, row, status] { finishRow(row, false, status); },
                                      Qt::QueuedConnection);
            continue;
        }
        m_rows[row].mac = WakeOnLan::macText(*mac);
        m_sender->wake(row, *mac);
    }
    if (hosts.isEmpty())
        QMetaObject::invokeMethod(this, &WakeRun::finished, Qt::QueuedConnection);
}

void WakeRun::finishRow(int row, bool sent, const QString &status)
{
    m_rows[row].result = sent ? u"OK"_s : u"NG"_s;
    m_rows[row].status = status;
    --m_left;
    Q_EMIT rowFinished(row);
    if (m_left == 0)
        Q_EMIT finished();
}
