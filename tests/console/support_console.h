#pragma once

#include "common/clock.h"
#include "console/settings/consolesettings.h"
#include "console/frontend.h"

#include <QStringList>

/// A front end that records what the user would see, in order.
class RecordingFrontEnd : public ConsoleFrontEnd
{
public:
    void showStatus(const QString &text) override { statuses.append(text); }
    void showMessage(Icon icon, const QString &text) override
    {
        boxes.append((icon == Icon::Exclamation ? QStringLiteral("!") : QStringLiteral("i")) + text);
    }
    void setBusy(bool busy) override { busyNow = busy; }
    QString chooseFile(const QString &, const QString &, const QString &, bool) override
    {
        return fileToChoose;
    }

    QStringList statuses;
    QStringList boxes; // "!" or "i", then the text
    bool busyNow = false;
    QString fileToChoose;
};

/// A clock standing still, so the "(hh:mm:ss)" of the status texts is known.
class FixedClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 4, 1), QTime(12, 34, 56)); }
};

/// What a run of TarvoControl printed, and its exit status (-1 when it did not end in time).
struct CliRun
{
    int exitCode = -1;
    QStringList lines; // standard output, one entry per line
    QString err;
};

/// Runs TarvoControl with `arguments` in `workingFolder`; `folder` is given as --folder.
CliRun runConsoleProgram(const QString &folder, const QStringList &arguments,
                         const QString &workingFolder = {});

/// Settings for a test: the port of the agents, a time-out in seconds, the slots.
ConsoleSettings testSettings(quint16 port, int timeoutSeconds = 10, int maxControl = 2);
