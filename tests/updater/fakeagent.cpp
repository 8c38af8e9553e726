// A stand-in agent for the updater's process tests. It holds the agent's
// single-instance lock under its own file name in its own folder and writes one line per event
// to fakeagent.log there: "started PID VERSION", "second PID", "activated", "updater RESULT".
// VERSION is the tag a test appends to a copy of this program ("\ntarvo-fake-version=N\n"),
// so that an old and a new program can be told apart by content.
// A file fakeagent.cmd, read once and removed at start, makes it act like the agent on
// request 130: "exit WORDS..." starts TarvoUtil with WORDS, waits for it to be ready and ends;
// "stay WORDS..." does the same but keeps running.

#include "platform/processes.h"
#include "platform/singleinstance.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QString folderFile(const QString &name)
{
    return QCoreApplication::applicationDirPath() + u'/' + name;
}

void log(const QByteArray &line)
{
    QFile file(folderFile(u"fakeagent.log"_s));
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(line + '\n');
}

QByteArray version()
{
    QFile self(QCoreApplication::applicationFilePath());
    if (!self.open(QIODevice::ReadOnly))
        return "?"_ba;
    const QByteArray tag = "tarvo-fake-version="_ba;
    const QByteArray content = self.readAll();
    const qsizetype at = content.lastIndexOf(tag);
    if (at < 0)
        return "0"_ba;
    return content.mid(at + tag.size()).trimmed();
}

QByteArray takeCommand()
{
    QFile file(folderFile(u"fakeagent.cmd"_s));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray command = file.readAll().trimmed();
    file.remove();
    return command;
}

QByteArray readyText(Processes::ReadyResult result)
{
    switch (result) {
    case Processes::ReadyResult::Ready:
        return "ready"_ba;
    case Processes::ReadyResult::TimedOut:
        return "timeout"_ba;
    case Processes::ReadyResult::FailedToStart:
        break;
    }
    return "failed"_ba;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid());
    SingleInstance instance(QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
                            QCoreApplication::applicationDirPath());
    if (!instance.acquire()) {
        log("second " + pid);
        return 0;
    }
    QObject::connect(&instance, &SingleInstance::activationRequested, [] { log("activated"); });
    log("started " + pid + ' ' + version());

    const QList<QByteArray> command = takeCommand().split(' ');
    if (command.first() == "exit" || command.first() == "stay") {
        QStringList words;
        for (const QByteArray &word : command.mid(1))
            words.append(QString::fromUtf8(word));
        const auto result = Processes::launchAndWaitReady(
            u"TarvoUtil"_s, words, QCoreApplication::applicationDirPath(), 10000);
        log("updater " + readyText(result));
        if (command.first() == "exit")
            return 0;
    }
    return app.exec();
}
