#pragma once

#include "console/frontend.h"

#include <cstdio>

/// The command line's front end: status texts and message boxes become lines on standard error;
/// nothing is asked interactively.
class StderrFrontEnd : public ConsoleFrontEnd
{
public:
    explicit StderrFrontEnd(std::FILE *stream = stderr, bool showStatus = true)
        : m_stream(stream), m_showStatus(showStatus) {}

    void showStatus(const QString &text) override;
    void showMessage(Icon icon, const QString &text) override;
    void setBusy(bool) override {}
    QString chooseFile(const QString &, const QString &, const QString &, bool) override
    {
        return {};
    }

private:
    void line(const QString &text);

    std::FILE *m_stream;
    bool m_showStatus;
};
