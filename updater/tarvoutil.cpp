#include "updater/tarvoutil.h"

#include "common/atomicfile.h"
#include "platform/processes.h"
#include "platform/singleinstance.h"
#include "signing/updatesignature.h"
#include "updater/bastarvoutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

TarvoUtil::TarvoUtil(QString folder, int limitMs)
    : m_folder(std::move(folder)), m_limitMs(limitMs)
{
}

int TarvoUtil::run(const QStringList &arguments)
{
    SingleInstance instance(u"TarvoUtil"_s, m_folder);
    if (!instance.acquire())
        return 0;
    if (!QDir::setCurrent(m_folder))
        return 0;
    const UpdaterCommand command =
        UpdaterCommand::parse(UpdaterCommand::argumentText(arguments));
    if (!command.isValid() || !filesPresent(command))
        return 0;

    // The agent waits for this before it replies and ends: a refused command line leaves it
    // waiting for nothing, so it reports the restart as failed.
    Processes::signalReady();
    m_deadline = QDeadlineTimer(m_limitMs);
    switch (command.kind) {
    case UpdaterCommand::Kind::Restart:
        restart(command);
        break;
    case UpdaterCommand::Kind::Update:
        update(command);
        break;
    case UpdaterCommand::Kind::Terminate:
        terminate(command);
        break;
    case UpdaterCommand::Kind::None:
        break;
    }
    instance.release();
    return 0;
}

bool TarvoUtil::filesPresent(const UpdaterCommand &command) const
{
    // "update" without its new program still restarts the old one (see update()), so only the
    // program itself is required; "terminate" needs no file.
    switch (command.kind) {
    case UpdaterCommand::Kind::Restart:
    case UpdaterCommand::Kind::Update:
        return basTarvoUtil::fileExists(command.programFile());
    case UpdaterCommand::Kind::Terminate:
        return true;
    case UpdaterCommand::Kind::None:
        break;
    }
    return false;
}

bool TarvoUtil::waitForAgent(const UpdaterCommand &command)
{
    const int remaining = int(qMax<qint64>(0, m_deadline.remainingTime()));
    return basTarvoUtil::waitForAgent(command.agentName(), m_folder, remaining);
}

void TarvoUtil::restart(const UpdaterCommand &command)
{
    // An agent still running when the time is up: leave everything as it is.
    if (!waitForAgent(command))
        return;
    QCoreApplication::processEvents();
    basTarvoUtil::startProgram(command.programFile(), m_folder);
}

void TarvoUtil::update(const UpdaterCommand &command)
{
    if (!waitForAgent(command))
        return;
    // Without its new program, or when the copy fails, the old program starts again: a
    // restart request never leaves the PC without an agent.
    if (basTarvoUtil::fileExists(command.newProgramFile()))
        installNewProgram(command);
    basTarvoUtil::startProgram(command.programFile(), m_folder);
}

void TarvoUtil::installNewProgram(const UpdaterCommand &command)
{
    const QString keySetting = UpdateSignature::keyFileSetting(m_folder + u"/TarvoAgent.ini"_s);
    if (!keySetting.isEmpty()) {
        installSignedProgram(command, keySetting);
        return;
    }
    backUpProgram(command);
    // The new program file stays where it is.
    basTarvoUtil::copyFileReplacing(command.newProgramFile(), command.programFile());
}

void TarvoUtil::backUpProgram(const UpdaterCommand &command)
{
    const QString program = command.programFile();
    if (const auto lastWritten = basTarvoUtil::readLastWriteTime(program)) {
        basTarvoUtil::copyFileReplacing(
            program, basTarvoUtil::backupFileName(command.agentName(), *lastWritten));
    }
}

void TarvoUtil::installSignedProgram(const UpdaterCommand &command, const QString &keySetting)
{
    // Checked again here, on the very bytes that are copied: the agent's check came before
    // it ended, and the file could have changed since.
    const auto files = UpdateSignature::updateFiles(m_folder, keySetting, command.programFile(),
                                                    command.newProgramFile());
    auto begun = SignedFileCheck::begin(files);
    bool refused = std::holds_alternative<SignatureRefusal>(begun);
    if (!refused) {
        auto &check = std::get<SignedFileCheck>(begun);
        const auto inspect = [&check](QByteArrayView chunk) { check.add(chunk); };
        const auto approve = [&] {
            refused = check.finish().has_value();
            if (!refused)
                backUpProgram(command);
            return !refused;
        };
        if (basTarvoUtil::copyFileReplacing(command.newProgramFile(), command.programFile(),
                                            inspect, approve)) {
            // Written after the swap: a crash in between leaves an older record, which only
            // lets the program now installed in again.
            writeFileAtomically(files.recordFile, check.signatureText());
            return;
        }
    }
    if (refused) {
        QFile::remove(command.newProgramFile());
        QFile::remove(files.signatureFile);
    }
}

void TarvoUtil::terminate(const UpdaterCommand &command)
{
    basTarvoUtil::endProgram(command.agentName(), m_folder);
}
