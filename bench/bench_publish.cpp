// Publishing steps against real servers on 127.0.0.1: the SQL step with 200 reported columns on
// SQLite and MariaDB (ms per step), the FTP upload of 10 MiB, plain and FTPS, beside the curl
// command-line client to the same server, and the mail step with a 1 MiB attachment (ms to the
// accepted result).
#include "support/ftpserver.h"
#include "support/testca.h"
#include "support/smtpserver.h"
#include "support/mariadbserver.h"

#include "collector/ftpstep.h"
#include "collector/mailstep.h"
#include "collector/runcontext.h"
#include "collector/sqlstep.h"
#include "common/codepage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString Mac = u"00155D010203"_s;
constexpr int SqlRounds = 20;
constexpr int FtpRounds = 9;
constexpr int MailRounds = 5;

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

// 197 item columns + the 3 LastUpdate columns the step adds = 200 reported columns.
QStringList itemColumns()
{
    QStringList columns{u"SysMACAddress"_s};
    for (int i = 1; columns.size() < 197; ++i)
        columns.append(u"Item%1"_s.arg(i, 3, 10, QChar(u'0')));
    return columns;
}

QString createTable()
{
    QString text = u"CREATE TABLE Bench (SysMACAddress VARCHAR(64) NOT NULL PRIMARY KEY"_s;
    for (const QString &column : itemColumns().mid(1))
        text += u", "_s + column + u" TEXT"_s;
    return text + u", LastUpdateBy TEXT, LastUpdateDate TEXT, LastUpdateTime TEXT)"_s;
}

/// Runs the step SqlRounds times: the first inserts, the others take the insert-fails-then-update
/// path of every later run. Returns {first, median of the others} in ms.
std::pair<double, double> timeSqlStep(const QString &folder, const QString &connection,
                                      const QString &user, const QString &password)
{
    RunContext run;
    run.folder = folder;
    run.macText = Mac;
    run.agentSettings.parse(CodePage::toAnsi(
        QString(u"[TarvoInfo]\r\nSqlConnection="_s + connection + u"\r\nSqlTable=Bench\r\nSqlUserid="_s
                + user + u"\r\nSqlPassword="_s + password + u"\r\n"_s)));
    for (const QString &column : itemColumns())
        run.columns.AddColumn(column, column == u"SysMACAddress"_s ? Mac : u"value of "_s + column);
    QList<double> later;
    double first = 0;
    for (int round = 0; round < SqlRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        UpdateDatabase(run);
        const double ms = timer.nsecsElapsed() / 1e6;
        if (round == 0)
            first = ms;
        else
            later.append(ms);
    }
    const QByteArray log = readAll(run.outputFile(u".SQL.LOG"_s));
    if (!CodePage::fromAnsi(log).contains(u"データベースのデータが更新（UPDATE）されました。"_s))
        std::printf("  (the last step did not update: check the log %s)\n",
                    qPrintable(run.outputFile(u".SQL.LOG"_s)));
    return {first, median(later)};
}

void benchSql()
{
    QTemporaryDir dir;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"bench"_s);
        db.setDatabaseName(dir.filePath(u"bench.sqlite"_s));
        db.open();
        QSqlQuery(db).exec(createTable());
        db.close();
    }
    QSqlDatabase::removeDatabase(u"bench"_s);
    const auto sqlite = timeSqlStep(dir.path(), u"Provider=SQLite;Data Source=bench.sqlite"_s, {}, {});
    std::printf("SQL step, 200 columns, SQLite:  insert %.2f ms, later runs %.2f ms/step (median of %d)\n",
                sqlite.first, sqlite.second, SqlRounds - 1);

    if (!DbTest::MariaDbServer::available()) {
        std::printf("SQL step, MariaDB: skipped (%s)\n", qPrintable(DbTest::MariaDbServer::unavailable()));
        return;
    }
    DbTest::MariaDbServer server;
    QString error;
    if (!server.start(&error)) {
        std::printf("SQL step, MariaDB: server did not start: %s\n", qPrintable(error));
        return;
    }
    server.sql(createTable().toUtf8() + ';');
    const auto mariadb =
        timeSqlStep(dir.path(), server.connection(), DbTest::User, DbTest::Password);
    std::printf("SQL step, 200 columns, MariaDB: insert %.2f ms, later runs %.2f ms/step (median of %d)\n",
                mariadb.first, mariadb.second, SqlRounds - 1);
}

// Uploads 10 MiB with the step and with curl, one after the other, in rounds; `tls`: both over
// explicit FTPS with a CA made for the run.
void benchFtp(bool tls)
{
    const char *mode = tls ? "FTPS" : "FTP";
    QTemporaryDir caDir;
    TestCa::Authority ca;
    std::optional<TestCa::ServerFiles> served;
    if (tls && (!ca.create(caDir.path())
                || !(served = ca.issue(u"localhost"_s, u"IP:127.0.0.1"_s)))) {
        std::printf("%s: openssl could not make the test CA\n", mode);
        return;
    }
    // The server's files go to memory where the machine has it: on one disk, each fsync of the
    // step's copy would also flush the 20 MiB the server received in the round before.
    FtpTest::FtpServer server(QFileInfo(u"/dev/shm"_s).isWritable() ? u"/dev/shm"_s
                                                                    : QDir::tempPath());
    if (!(tls ? server.start(served->certificate, served->key) : server.start())) {
        std::printf("%s: pyftpdlib did not start\n", mode);
        return;
    }
    QTemporaryDir dir;
    const QByteArray data = randomBytes(10 * 1024 * 1024);
    writeFile(dir.filePath(u"TarvoInfo.dat"_s), data);
    RunContext run;
    run.folder = dir.path();
    run.macText = Mac;
    QString settings = u"[TarvoInfo]\r\nFtpAddress=127.0.0.1\r\nFtpPort="_s
                       + QString::number(server.port()) + u"\r\nFtpUser="_s + FtpTest::User
                       + u"\r\nFtpPassword="_s + FtpTest::Password
                       + u"\r\nFtpPassive=1\r\nFtpType=2\r\nFtpDirectory=inbox\r\n"_s;
    QStringList curlArguments{u"-s"_s, u"--disable-epsv"_s, u"-T"_s, dir.filePath(u"TarvoInfo.dat"_s),
                              u"-u"_s, FtpTest::User + u':' + FtpTest::Password};
    if (tls) {
        settings += u"FtpTls=1\r\nFtpCaFile="_s + ca.certificate() + u"\r\n"_s;
        curlArguments << u"--ssl-reqd"_s << u"--cacert"_s << ca.certificate();
    }
    run.agentSettings.parse(CodePage::toAnsi(settings));
    curlArguments << u"ftp://127.0.0.1:%1/inbox/cli.dat"_s.arg(server.port());

    QList<double> step;
    QList<double> cli;
    for (int round = 0; round < FtpRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        UploadFtp(run);
        step.append(timer.nsecsElapsed() / 1e6);

        timer.restart();
        QProcess curl;
        curl.start(u"curl"_s, curlArguments);
        curl.waitForFinished(120000);
        cli.append(timer.nsecsElapsed() / 1e6);
    }
    const bool same = server.file(u"inbox/"_s + Mac + u".DAT"_s) == data
                      && server.file(u"inbox/cli.dat"_s) == data;
    // The step's time includes the copy to the .DAT file and its log, as a run pays them.
    std::printf("%s upload 10 MiB: step %.1f ms, curl CLI %.1f ms, ratio %.2f (median of %d);"
                " slowest: step %.1f ms, curl %.1f ms%s\n",
                mode, median(step), median(cli), median(step) / median(cli), FtpRounds,
                *std::max_element(step.begin(), step.end()), *std::max_element(cli.begin(), cli.end()),
                same ? "" : "  CONTENT MISMATCH");
}

void benchMail()
{
    MailTest::AiosmtpdServer server;
    if (!server.start()) {
        std::printf("Mail: aiosmtpd did not start\n");
        return;
    }
    QTemporaryDir dir;
    writeFile(dir.filePath(u"TarvoInfo.dat"_s), randomBytes(1024 * 1024));
    RunContext run;
    run.folder = dir.path();
    run.macText = Mac;
    run.agentSettings.parse(CodePage::toAnsi(QString(
        u"[TarvoInfo]\r\nSmtpServer=127.0.0.1\r\nSmtpPort="_s + server.portText()
        + u"\r\nFrom=pc@example.com\r\nTo=admin@example.com\r\nSubject=Bench\r\n"_s)));
    QList<double> times;
    for (int round = 0; round < MailRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        SendMailStep(run);
        times.append(timer.nsecsElapsed() / 1e6);
    }
    const bool ok = CodePage::fromAnsi(readAll(run.outputFile(u".MAIL.LOG"_s)))
                        .contains(u"メールの送信に成功しました。"_s);
    std::printf("Mail step, 1 MiB attachment: %.1f ms to result 0 (median of %d)%s\n",
                median(times), MailRounds, ok ? "" : "  NOT ACCEPTED");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // An argument ("sql", "ftp" or "mail") runs that part alone.
    const QString only = app.arguments().value(1);
    if (only.isEmpty() || only == u"sql")
        benchSql();
    if (only.isEmpty() || only == u"ftp") {
        benchFtp(false);
        benchFtp(true);
    }
    if (only.isEmpty() || only == u"mail")
        benchMail();
    return 0;
}
