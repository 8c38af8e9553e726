#include "agent/statuslog.h"

#include "common/clock.h"
#include "common/codepage.h"
#include "common/formats.h"

using namespace Qt::StringLiterals;

StatusLog::StatusLog(const Clock &clock, QObject *parent) : QObject(parent), m_clock(clock) {}

void StatusLog::configure(const QString &debugMode, int maxLines)
{
    m_debugMode = debugMode;
    m_maxLines = maxLines;
}

void StatusLog::AddLog(const QString &text, Level level)
{
    const bool logged = m_debugMode == u"1"_s || (m_debugMode == u"0"_s && level == Main);
    if (!logged)
        return;
    // One line goes when the list already holds more than the limit: it keeps limit + 1 lines.
    if (!m_ansiLines.isEmpty() && m_ansiLines.size() > m_maxLines)
        m_ansiLines.removeFirst();
    const QString line = Formats::dateTime(m_clock.now()) + u'\t' + text;
    m_ansiLines.append(CodePage::toAnsi(line));
    Q_EMIT lineAdded(line);
}

QStringList StatusLog::lines() const
{
    QStringList texts;
    texts.reserve(m_ansiLines.size());
    for (const QByteArray &line : m_ansiLines)
        texts << CodePage::fromAnsi(line);
    return texts;
}
