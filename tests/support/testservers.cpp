#include "support/testservers.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace TestServers {

QString stateFolder()
{
    const QString fromEnvironment = qEnvironmentVariable("TARVO_TEST_SERVERS");
    return fromEnvironment.isEmpty() ? QStringLiteral(TARVO_TEST_SERVERS_DIR) : fromEnvironment;
}

QJsonObject state(const QString &kind, QString *problem)
{
    const QString hint = u"no %1 test server: run the test through ctest, or start one with "
                         u"tests/support/testservers.py start %1 %2"_s.arg(kind, stateFolder());
    QFile file(stateFolder() + u'/' + kind + u".json"_s);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = hint;
        return {};
    }
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    if (object.contains(u"missing"_s)) {
        *problem = object.value(u"missing"_s).toString();
        return {};
    }
    // A state left behind by a server that has gone.
    if (!QFileInfo::exists(u"/proc/"_s + QString::number(object.value(u"pid"_s).toInteger()))) {
        *problem = hint;
        return {};
    }
    problem->clear();
    return object;
}

QString unavailable(const QString &kind)
{
    QString problem;
    state(kind, &problem);
    return problem;
}

int Control::open(const QString &kind, const QStringList &fields, QString *error)
{
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        const QJsonObject server = state(kind, error);
        if (server.isEmpty())
            return 0;
        m_socket.connectToHost(u"127.0.0.1"_s, quint16(server.value(u"control"_s).toInt()));
        if (!m_socket.waitForConnected(10000)) {
            *error = kind + u" test server: "_s + m_socket.errorString();
            return 0;
        }
    }
    m_socket.write((QStringList{kind} + fields).join(u'\t').toUtf8() + '\n');
    while (!m_socket.canReadLine()) {
        if (!m_socket.waitForReadyRead(30000)) {
            *error = kind + u" test server gave no answer"_s;
            return 0;
        }
    }
    const QByteArray reply = m_socket.readLine().trimmed();
    if (!reply.startsWith("port ")) {
        *error = kind + u" test server: "_s + QString::fromUtf8(reply);
        return 0;
    }
    return reply.mid(5).toInt();
}

} // namespace TestServers
