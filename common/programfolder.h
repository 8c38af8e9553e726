#pragma once

#include <QString>

/// The folder of the running program: every program finds its settings and data files there.
namespace ProgramFolder {

/// The program's folder (absolute, no trailing slash).
QString path();
/// `name` inside the program folder.
QString file(const QString &name);
/// The running program's file name without folder (and without extension on Windows).
QString programName();

} // namespace ProgramFolder
