#include "collector/runlog.h"

#include "common/clock.h"
#include "common/codepage.h"
#include "common/formats.h"

using namespace Qt::StringLiterals;

namespace {

QString bannerLine()
{
    return QString(58, u'=');
}

QString startedLine(const QDateTime &when)
{
    return when.toString(u"yyyy年MM月dd日 HH時mm分ss秒"_s) + u"に起動"_s;
}

} // namespace

RunLog::RunLog(const Clock &clock)
    : m_clock(clock)
{
}

RunLog::~RunLog()
{
    CloseRunLog();
}

// The log is written as it goes (truncated at open, flushed per line), so that whatever
// happened before a step hangs or the process is killed is already on disk.
bool RunLog::OpenRunLog(const QString &path)
{
    CloseRunLog();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QString text = bannerLine() + u"\r\n"_s + startedLine(m_clock.now()) + u"\r\n"_s
                         + bannerLine() + u"\r\n"_s;
    m_file.write(CodePage::toAnsi(text));
    m_file.flush();
    return true;
}

void RunLog::WriteRunLog(const QString &message)
{
    if (!m_file.isOpen())
        return;
    const QString line = Formats::dateTime(m_clock.now()) + u'\t' + message + u"\r\n"_s;
    m_file.write(CodePage::toAnsi(line));
    m_file.flush();
}

void RunLog::CloseRunLog()
{
    if (m_file.isOpen())
        m_file.close();
}
