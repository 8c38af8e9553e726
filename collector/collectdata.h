#pragma once

#include "collector/definitions/appitem.h"
#include "collector/runcontext.h"
#include "common/profilefile.h"
#include "platform/probes/sysinfo.h"

#include <QDateTime>
#include <QList>
#include <QStringList>

/// ALL mode reports every item; DIF mode only those whose value differs from the stored one.
enum class RunMode { All, Dif };

/// ALL mode only when the whole argument text is exactly "ALL".
RunMode runModeFromArguments(const QStringList &arguments);

/// What the collection step records.
struct CollectInput
{
    QList<SystemItem> systemItems;
    QList<DriveRow> drives;
    QList<AppItem> appItems;
    QString appSection;
    RunMode mode = RunMode::Dif;
    QDateTime now; // the run date and time written in front of each reported value
};

/// The collection step: compares every item with its stored value, writes the reported ones
/// back into `definitions` (in memory: the caller saves once) and appends them to `columns`,
/// in the order system items, drive values, SysDatVersion, application items.
/// Returns true when `definitions` was changed.
bool CollectData(ProfileFile &definitions, const CollectInput &input, ColumnLists &columns);
