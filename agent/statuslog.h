#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class Clock;

/// The agent's status log: "yyyy/mm/dd hh:mm:ss" TAB text, bounded by `StatusLog` and filtered
/// by `DebugMode` ("1": every line, "0": main lines only, anything else: nothing).
class StatusLog : public QObject
{
    Q_OBJECT
public:
    enum Level { Detail = 0, Main = 1 };

    StatusLog(const Clock &clock, QObject *parent = nullptr);

    void configure(const QString &debugMode, int maxLines);
    void AddLog(const QString &text, Level level);
    /// The lines kept, oldest first.
    QStringList lines() const;
    /// The lines as kept: in the ANSI code page, encoded once when logged (request 400 sends
    /// them as they are).
    const QList<QByteArray> &ansiLines() const { return m_ansiLines; }

Q_SIGNALS:
    /// A line was logged (after the oldest one was dropped, if it had to be).
    void lineAdded(const QString &line);

private:
    const Clock &m_clock;
    QString m_debugMode = QStringLiteral("1");
    int m_maxLines = 1000;
    QList<QByteArray> m_ansiLines;
};
