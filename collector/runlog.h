#pragma once

#include <QFile>
#include <QString>

class Clock;

/// A step log (MAC text + ".SQL.LOG", ".FTP.LOG", ".MAIL.LOG"): created anew, a banner of 58 "="
/// with the start time, then one "yyyy/mm/dd hh:mm:ss<TAB>message" line per event, in CP932 with
/// CR LF. A log that cannot be created is skipped: the step goes on without it.
class RunLog
{
public:
    explicit RunLog(const Clock &clock);
    ~RunLog();

    bool OpenRunLog(const QString &path);
    void WriteRunLog(const QString &message);
    void CloseRunLog();

private:
    const Clock &m_clock;
    QFile m_file;
};
