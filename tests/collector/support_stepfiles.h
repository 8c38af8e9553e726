#pragma once

#include "common/clock.h"
#include "filebytes.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

/// The step tests' clock: 12 March 2004, 09:30:15, unless a test moves it.
class FixedClock : public Clock
{
public:
    QDateTime now() const override { return m_now; }
    QDateTime m_now{QDate(2004, 3, 12), QTime(9, 30, 15)};
};

/// Writes `bytes` to `path` (a failed write fails the running test).
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}
