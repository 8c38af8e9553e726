#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTcpSocket>

/// The SMTP, FTP and MariaDB servers started once per test run by tests/support/testservers.py
/// (CTest fixtures tarvo_smtp, tarvo_ftp, tarvo_mariadb; see tests/CMakeLists.txt). Their state
/// lies in $TARVO_TEST_SERVERS, or in build/testservers.
namespace TestServers {

QString stateFolder();
/// What the running server of `kind` wrote about itself; empty, with `problem` saying why, when
/// there is none (run the test through ctest, or start the server by hand).
QJsonObject state(const QString &kind, QString *problem);
/// "" when the server of `kind` runs; otherwise the reason, for QSKIP.
QString unavailable(const QString &kind);

/// A connection to the control port of the shared smtp or ftp server. Each open() makes a server
/// of this test's own on a free loopback port; they all close with this object.
class Control
{
public:
    /// The port of the new server; 0 on failure, with `error` saying why.
    int open(const QString &kind, const QStringList &fields, QString *error);

private:
    QTcpSocket m_socket;
};

} // namespace TestServers

/// Skips the running test (in initTestCase: the whole program) when the shared server of `kind`
/// is not there, saying how to start it.
#define TARVO_REQUIRE_TEST_SERVER(kind)                                                          \
    do {                                                                                         \
        const QString unavailableReason = TestServers::unavailable(kind);                        \
        if (!unavailableReason.isEmpty())                                                        \
            QSKIP(qPrintable(unavailableReason));                                                \
    } while (false)
