#pragma once

// The two databases the database pages are tried against: an SQLite file in a temporary folder
// and a MariaDB server started for the test program (skipped when it is not installed).

#include "console/settings/sqlsettings.h"
#include "db/database.h"
#include "support/mariadbserver.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class DatabaseFixture
{
public:
    /// Starts what is there; call from initTestCase.
    void start()
    {
        QVERIFY(m_dir.isValid());
        const QString file = m_dir.filePath(QStringLiteral("inv.db"));
        QFile(file).open(QIODevice::WriteOnly); // an empty file is an empty SQLite database
        m_sqlite = {QStringLiteral("Provider=SQLite;Data Source=") + file, QStringLiteral("PcInfo"), {}, {}, {}};
        if (!DbTest::MariaDbServer::available())
            return;
        m_server = std::make_unique<DbTest::MariaDbServer>();
        QString error;
        QVERIFY2(m_server->start(&error), qPrintable(error));
        m_maria = {m_server->connection(), QStringLiteral("PcInfo"), DbTest::User, DbTest::Password, {}};
    }

    /// Adds one row per backend to a data table: the settings as column "settings".
    void addRows() const
    {
        QTest::newRow("sqlite") << m_sqlite;
        if (m_server)
            QTest::newRow("mariadb") << m_maria;
    }

    /// Runs statements as the administrator would by hand; fails the test on an error.
    static void run(const SqlSettings &settings, const QStringList &statements)
    {
        Database db(QDir::tempPath());
        QVERIFY2(db.open(settings.connectionString()), qPrintable(db.failureText()));
        for (const QString &statement : statements)
            QVERIFY2(db.execute(statement), qPrintable(statement + QStringLiteral(": ") + db.failureText()));
        db.close();
    }

    /// Every record of a query, values as text, tab-separated.
    static QStringList rows(const SqlSettings &settings, const QString &select)
    {
        Database db(QDir::tempPath());
        db.open(settings.connectionString());
        QStringList lines;
        if (const auto result = db.query(select)) {
            for (const QStringList &record : result->records)
                lines.append(record.join(u'\t'));
        }
        return lines;
    }

    static bool isMariaDb(const SqlSettings &settings) { return settings.connection.contains(QStringLiteral("MariaDB")); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<DbTest::MariaDbServer> m_server;
    SqlSettings m_sqlite;
    SqlSettings m_maria;
};

Q_DECLARE_METATYPE(SqlSettings)
