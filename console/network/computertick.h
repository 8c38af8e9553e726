#pragma once

#include <QString>

/// A computer of the network tree whose tick changed: the batch pages add or remove its row.
struct ComputerTick
{
    QString name;
    bool ticked = false;
};
