#pragma once

struct RunContext;

/// The FTP step: copies TarvoInfo.dat to MAC text + ".DAT" and uploads it, logging to
/// MAC text + ".FTP.LOG".
void UploadFtp(RunContext &run);
