#pragma once

#include "net/hostresolver.h"

#include <QHash>
#include <QStringList>
#include <QTimer>

/// A resolver that answers by table, after a delay, or never: what a slow or broken name
/// service looks like, without a query leaving the machine. It records every name asked.
class PluggedResolver : public HostResolver
{
public:
    struct Answer
    {
        QString address; // "" for a name the resolver does not know
        int delayMs = 0; // < 0: never answered
    };

    /// Names missing from the table are unknown, answered after `unknownDelayMs`.
    void answer(const QString &name, Answer answer) { m_answers.insert(name.toLower(), answer); }

    void lookUp(const QString &name) override
    {
        asked.append(name);
        const Answer answer = m_answers.value(name.toLower(), Answer{QString(), unknownDelayMs});
        if (answer.delayMs < 0)
            return;
        peakUnderWay = qMax(peakUnderWay, ++underWay);
        QTimer::singleShot(answer.delayMs, this, [this, name, answer] {
            --underWay;
            Q_EMIT lookedUp(name, answer.address, answer.address.isEmpty() ? 11001 : 0);
        });
    }

    int unknownDelayMs = 0;
    QStringList asked;
    int underWay = 0;
    int peakUnderWay = 0;

private:
    QHash<QString, Answer> m_answers;
};
