#pragma once

#include "support/fakeclock.h"
#include "support/filebytes.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

/// Writes `bytes` to `path` (a failed write fails the running test).
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}
