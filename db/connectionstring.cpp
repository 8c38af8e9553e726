#include "db/connectionstring.h"

#include <QDir>
#include <QFileInfo>
#include <QList>

using namespace Qt::StringLiterals;

namespace {

struct Pair
{
    QString key;   // trimmed, lower case
    QString value; // unquoted
    QString raw;   // the segment as written, for ODBC
};

// A quoted value ends at its closing quote; a doubled closing quote stands for itself.
qsizetype readQuoted(const QString &text, qsizetype pos, QChar close, QString *value)
{
    ++pos;
    while (pos < text.size()) {
        if (text.at(pos) == close) {
            if (pos + 1 < text.size() && text.at(pos + 1) == close) {
                value->append(close);
                pos += 2;
                continue;
            }
            return pos + 1;
        }
        value->append(text.at(pos++));
    }
    return pos;
}

QList<Pair> splitPairs(const QString &text)
{
    QList<Pair> pairs;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype start = pos;
        const qsizetype eq = text.indexOf(u'=', pos);
        const qsizetype semi = text.indexOf(u';', pos);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            // A segment without "=" carries nothing; skip it.
            pos = semi < 0 ? text.size() : semi + 1;
            continue;
        }
        Pair pair;
        pair.key = text.mid(start, eq - start).trimmed().toLower();
        pos = eq + 1;
        while (pos < text.size() && text.at(pos).isSpace())
            ++pos;
        const QChar first = pos < text.size() ? text.at(pos) : QChar();
        if (first == u'\'' || first == u'"' || first == u'{') {
            pos = readQuoted(text, pos, first == u'{' ? u'}' : first, &pair.value);
            const qsizetype next = text.indexOf(u';', pos);
            pos = next < 0 ? text.size() : next;
        } else {
            const qsizetype next = text.indexOf(u';', pos);
            const qsizetype end = next < 0 ? text.size() : next;
            pair.value = text.mid(pos, end - pos).trimmed();
            pos = end;
        }
        pair.raw = text.mid(start, pos - start);
        if (pos < text.size())
            ++pos; // the ";"
        if (!pair.key.isEmpty())
            pairs.append(pair);
    }
    return pairs;
}

QString lookup(const QList<Pair> &pairs, std::initializer_list<QStringView> keys)
{
    QString found;
    for (const Pair &pair : pairs) {
        for (QStringView key : keys) {
            if (pair.key == key && !pair.value.isEmpty())
                found = pair.value;
        }
    }
    return found;
}

bool has(const QList<Pair> &pairs, QStringView key)
{
    for (const Pair &pair : pairs) {
        if (pair.key == key)
            return true;
    }
    return false;
}

void fillOdbc(const QList<Pair> &pairs, ConnectionTarget *target)
{
    target->driver = u"QODBC"_s;
    // A server that does not answer must end with a message, not hang the caller.
    target->connectOptions = u"SQL_ATTR_LOGIN_TIMEOUT=15;SQL_ATTR_CONNECTION_TIMEOUT=15"_s;
    target->userName = lookup(pairs, {u"user id"});
    target->password = lookup(pairs, {u"password"});
    // The text reaches the ODBC driver manager unchanged; only the credentials the callers append
    // are handed over as UID/PWD, the names ODBC knows.
    QStringList segments;
    QString dsn;
    for (const Pair &pair : pairs) {
        if (pair.key == u"user id" || pair.key == u"password")
            continue;
        if (pair.key == u"dsn" && dsn.isEmpty()) {
            dsn = pair.value;
            continue;
        }
        segments.append(pair.raw.trimmed());
    }
    const QString rest = segments.join(u';');
    const bool qtTakesAsIs = rest.contains(u"DRIVER="_s, Qt::CaseInsensitive)
                             || rest.contains(u"SERVER="_s, Qt::CaseInsensitive);
    if (dsn.isEmpty() || qtTakesAsIs) {
        QStringList all = segments;
        if (!dsn.isEmpty())
            all.prepend(u"DSN="_s + dsn);
        target->databaseName = all.join(u';');
    } else {
        // Qt's ODBC driver puts "DSN=" in front of a text without DRIVER= or SERVER=.
        target->databaseName = rest.isEmpty() ? dsn : dsn + u';' + rest;
    }
}

void fillSqlite(const QList<Pair> &pairs, const QString &baseFolder, ConnectionTarget *target)
{
    target->driver = u"QSQLITE"_s;
    const QString file = lookup(pairs, {u"data source"});
    if (file.isEmpty()) {
        target->driver.clear();
        target->error = u"SQLiteのデータベースファイル（Data Source）が指定されていません。"_s;
        return;
    }
    target->databaseName = (file == u":memory:" || QDir::isAbsolutePath(file))
                             ? file
                             : QDir(baseFolder).filePath(file);
    target->connectOptions = u"QSQLITE_BUSY_TIMEOUT=5000"_s;
}

// Encrypt=yes asks the driver for TLS, the server's certificate checked against the system's
// CAs; SslCa names the site's own CA instead (a path relative to the base folder), and implies
// Encrypt. They go into the driver's
// options, which ";" separates.
bool addMariaDbTls(const QList<Pair> &pairs, const QString &baseFolder, ConnectionTarget *target)
{
    const QString encrypt = lookup(pairs, {u"encrypt"}).trimmed().toLower();
    bool on = encrypt == u"yes" || encrypt == u"true" || encrypt == u"1";
    if (!on && !encrypt.isEmpty() && encrypt != u"no" && encrypt != u"false" && encrypt != u"0") {
        target->error = u"Encrypt は yes か no で指定してください。("_s + encrypt + u')';
        return false;
    }
    if (const QString ca = lookup(pairs, {u"sslca", u"ssl ca"}).trimmed(); !ca.isEmpty()) {
        const QString path = QDir(baseFolder).absoluteFilePath(ca);
        if (path.contains(u';') || !QFileInfo(path).isReadable()) {
            target->error = u"SslCa のファイル「"_s + ca + u"」を読めません。"_s;
            return false;
        }
        target->connectOptions += u";SSL_CA="_s + path;
        return true;
    }
    // Without a CA of the site's own, the server's certificate must chain to the system's.
    if (on)
        target->connectOptions += u";SSL_CAPATH=/etc/ssl/certs"_s;
    return true;
}

void fillMariaDb(const QList<Pair> &pairs, const QString &baseFolder, ConnectionTarget *target)
{
    target->driver = u"QMYSQL"_s;
    QString host = lookup(pairs, {u"server", u"data source", u"host", u"address"});
    QString port = lookup(pairs, {u"port"});
    // SQL Server's "host,port" form of the server name.
    if (const qsizetype comma = host.indexOf(u','); comma >= 0) {
        if (port.isEmpty())
            port = host.mid(comma + 1).trimmed();
        host = host.left(comma).trimmed();
    }
    target->hostName = host.isEmpty() ? u"localhost"_s : host;
    if (!port.isEmpty()) {
        bool ok = false;
        const int number = port.toInt(&ok);
        if (!ok || number <= 0 || number > 65535) {
            target->driver.clear();
            target->error = u"ポート番号「"_s + port + u"」が正しくありません。"_s;
            return;
        }
        target->port = number;
    }
    target->databaseName = lookup(pairs, {u"database", u"initial catalog"});
    target->userName = lookup(pairs, {u"user id", u"uid", u"user"});
    target->password = lookup(pairs, {u"password", u"pwd"});
    // "Connect Timeout" as in ADO: the seconds a server may take to greet us (15 by default).
    int connectTimeout = 15;
    if (const QString timeout = lookup(pairs, {u"connect timeout", u"connection timeout"});
        !timeout.isEmpty()) {
        bool ok = false;
        connectTimeout = timeout.toInt(&ok);
        if (!ok || connectTimeout < 1 || connectTimeout > 3600) {
            target->driver.clear();
            target->error = u"接続タイムアウト「"_s + timeout + u"」が正しくありません（1～3600秒）。"_s;
            return;
        }
    }
    // Found rows, not changed rows: an UPDATE that rewrites equal values still matched its row.
    target->connectOptions = u"MYSQL_OPT_CONNECT_TIMEOUT="_s + QString::number(connectTimeout)
                           + u";MYSQL_OPT_READ_TIMEOUT=60;MYSQL_OPT_WRITE_TIMEOUT=60;CLIENT_FOUND_ROWS"_s;
    if (!addMariaDbTls(pairs, baseFolder, target))
        target->driver.clear();
}

} // namespace

QString buildConnectionString(const QString &sqlConnection, const QString &userId,
                              const QString &password)
{
    return sqlConnection + u";User ID="_s + userId + u";Password="_s + password;
}

ConnectionTarget parseConnectionString(const QString &text, const QString &baseFolder)
{
    ConnectionTarget target;
    const QList<Pair> pairs = splitPairs(text);
    for (const Pair &pair : pairs) {
        if ((pair.key == u"password" || pair.key == u"pwd") && !pair.value.isEmpty())
            target.secrets.append(pair.value);
    }
    if (has(pairs, u"driver") || has(pairs, u"dsn")) {
        fillOdbc(pairs, &target);
        return target;
    }
    const QString provider = lookup(pairs, {u"provider"});
    if (provider.compare(u"SQLite"_s, Qt::CaseInsensitive) == 0) {
        fillSqlite(pairs, baseFolder, &target);
    } else if (provider.compare(u"MariaDB"_s, Qt::CaseInsensitive) == 0
               || provider.compare(u"MySQL"_s, Qt::CaseInsensitive) == 0) {
        fillMariaDb(pairs, baseFolder, &target);
    } else if (provider.isEmpty()) {
        target.error = u"接続文字列にプロバイダ（Provider=、Driver= または DSN=）が指定されていません。"_s;
    } else {
        target.error = u"プロバイダ「"_s + provider
                     + u"」には対応していません（対応: SQLite、MariaDB、MySQL、ODBC の Driver= または DSN=）。"_s;
    }
    return target;
}
