#pragma once

struct RunContext;

/// The SQL step: writes the PC's row (insert, else update) and the two .SQL files, logging to
/// MAC text + ".SQL.LOG".
void UpdateDatabase(RunContext &run);
