#pragma once

#include "signing/signedfilecheck.h"

#include <QString>

#include <optional>

/// Where the files of a signed update lie and how they are checked.
namespace UpdateSignature {

/// The signature of `file`: `file` + ".minisig".
QString signatureOf(const QString &file);
/// `setting` relative to `folder`, or as given when it is absolute.
QString keyFilePath(const QString &folder, const QString &setting);
/// `UpdateKeyFile` of section TarvoAgent, read whole; "" when updates are not verified.
QString keyFileSetting(const QString &iniPath);
/// Whether `keyFile` holds at least one public key and nothing else.
bool keysReadable(const QString &keyFile);
/// The files of the update of `program` by `newProgram` (names in `folder`): the new program's
/// signature beside it, the running program's record beside that, `file:` naming `program`.
SignedFileCheck::Files updateFiles(const QString &folder, const QString &keySetting,
                                   const QString &program, const QString &newProgram);
/// Checks the file at `path`, read in chunks.
std::optional<SignatureRefusal> checkFile(const QString &path, const SignedFileCheck::Files &files);

} // namespace UpdateSignature
