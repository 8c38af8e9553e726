#pragma once

#include "collector/definitions/appitem.h"

#include <QList>
#include <QString>

class Registry;

/// Replaces the value of every "R" and "F" item with its current value; other rows keep theirs.
void EvaluateAppItems(QList<AppItem> &items, const Registry &registry);

/// The current value of an "R" item.
QString evaluateRegistryItem(const AppItem &item, const Registry &registry);
/// The current value of an "F" item.
QString evaluateFileItem(const AppItem &item);
