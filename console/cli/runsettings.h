#pragma once

#include <QString>

#include <cstdio>

struct CliOptions;
struct ConsoleSettings;
class NameTable;
class NetworkInventory;

/// The settings of one command-line run: TarvoControl.ini of `folder` with the options'
/// overrides (--port, --timeout, --max-control), checked, and TarvoNetwork.ini read into
/// `inventory` and `names`. False with the reason written to `err`.
bool LoadCliRunSettings(const CliOptions &options, const QString &folder, std::FILE *err,
                        ConsoleSettings &settings, NetworkInventory &inventory, NameTable &names);
