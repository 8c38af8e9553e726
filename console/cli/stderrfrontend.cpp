#include "console/cli/stderrfrontend.h"

using namespace Qt::StringLiterals;

void StderrFrontEnd::showStatus(const QString &text)
{
    if (m_showStatus)
        line(text);
}

void StderrFrontEnd::showMessage(Icon icon, const QString &text)
{
    // A box's line breaks would split one message over lines: it is shown on one line.
    QString flat = text;
    flat.replace(u"\r\n"_s, u" "_s);
    line((icon == Icon::Exclamation ? u"[!] "_s : u"[i] "_s) + flat);
}

void StderrFrontEnd::line(const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_stream);
    std::fflush(m_stream);
}
