// Wall time of whole TarvoInfo passes (every probe, 200 application items mixing registry and
// file rows, the write-back) in DIF and ALL mode, beside the same binary starting and ending.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int Runs = 41;
constexpr int AppItems = 200;

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The hive the registry rows read: strings, numbers, lists and binaries.
QByteArray hive()
{
    QByteArray text = "REGEDIT4\r\n\r\n";
    for (int key = 0; key < 20; ++key) {
        text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\\App" + QByteArray::number(key) + "]\r\n";
        text += "\"Version\"=\"" + QByteArray::number(key) + ".0.1\"\r\n";
        text += "\"Build\"=dword:" + QByteArray::number(1000 + key, 16).rightJustified(8, '0') + "\r\n";
        text += "\"Paths\"=hex(7):61,00,62,00,00\r\n";
        text += "\"Blob\"=hex:01,02,03,04\r\n\r\n";
    }
    return text;
}

QByteArray registryRow(int i)
{
    static const QByteArray uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    static const char *packages[] = {"libc6", "bash", "coreutils", "not-installed-package"};
    static const char *values[] = {"Version", "Build", "Paths", "Blob", "Missing", ""};
    switch (i % 4) {
    case 0: // a package of the system's package database
        return "R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;" + uninstall + packages[(i / 4) % 4]
             + ";DisplayVersion;";
    case 1: // the processor key
        return "R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0;"
               "ProcessorNameString;";
    default: // hive values
        return "R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;SOFTWARE\\Bench\\App" + QByteArray::number(i % 23)
             + ';' + values[i % 6] + ';';
    }
}

QByteArray fileRow(int i)
{
    switch (i % 4) {
    case 0: return "F;YYYYMMDD;HHMMSS;data;file" + QByteArray::number(i % 50) + ".txt;;";
    case 1: return "F;YYYYMMDD;HHMMSS;data;absent" + QByteArray::number(i) + ".txt;;";
    case 2: return "F;YYYYMMDD;HHMMSS;/etc;hostname;;";
    default: return "F;YYYYMMDD;HHMMSS;data;;;";
    }
}

QByteArray definitions()
{
    QFile shipped(QStringLiteral(TARVO_SOURCE_DIR "/packaging/TarvoInfo.dat"));
    QByteArray text;
    if (shipped.open(QIODevice::ReadOnly))
        text = shipped.readAll();
    text += "\r\n";
    for (int i = 0; i < AppItems; ++i) {
        const QByteArray row = i % 2 == 0 ? registryRow(i / 2) : fileRow(i / 2);
        text += "BenchItem" + QByteArray::number(i).rightJustified(3, '0') + '=' + row + "\r\n";
    }
    return text;
}

struct Folder
{
    QTemporaryDir dir;

    bool prepare()
    {
        const QString program = dir.filePath(u"TarvoInfo"_s);
        if (!dir.isValid() || !QFile::copy(QStringLiteral(TARVO_BIN_DIR "/TarvoInfo"), program))
            return false;
        QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
        QDir(dir.path()).mkpath(u"registry"_s);
        QDir(dir.path()).mkpath(u"data"_s);
        for (int i = 0; i < 50; ++i)
            writeFile(dir.filePath(u"data/file%1.txt"_s.arg(i)), "x");
        return writeFile(dir.filePath(u"registry/bench.reg"_s), hive())
            && writeFile(dir.filePath(u"TarvoInfo.dat"_s), definitions())
            && writeFile(dir.filePath(u"TarvoAgent.ini"_s),
                         "[TarvoInfo]\r\nSQLUpdate=0\r\nSmtpMail=0\r\nFtpUpload=0\r\n");
    }

    // Milliseconds of one run, -1 when it failed.
    double run(const QStringList &arguments, bool bare)
    {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        QElapsedTimer timer;
        timer.start();
        process.start(bare ? QStringLiteral(TARVO_BARESTART) : dir.filePath(u"TarvoInfo"_s),
                      arguments);
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            return -1;
        return double(timer.nsecsElapsed()) / 1e6;
    }
};

double median(QList<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.isEmpty() ? 0 : samples[samples.size() / 2];
}

} // namespace

int main()
{
    Folder folder;
    if (!folder.prepare()) {
        std::fprintf(stderr, "cannot prepare a program folder with %s/TarvoInfo\n", TARVO_BIN_DIR);
        return 1;
    }
    folder.run({}, false); // the first DIF pass reports everything; later ones only changes

    struct Mode
    {
        const char *name;
        QStringList arguments;
        bool bare;
    };
    const Mode modes[] = {
        {"bare start and end", {}, true},
        {"DIF mode pass", {}, false},
        {"ALL mode pass", {u"ALL"_s}, false},
    };
    QList<double> samples[3];
    // Interleaved, so that a slow spell of the machine weighs on every mode alike.
    for (int i = 0; i < Runs; ++i) {
        for (int m = 0; m < 3; ++m) {
            const double ms = folder.run(modes[m].arguments, modes[m].bare);
            if (ms < 0) {
                std::fprintf(stderr, "%s: run failed\n", modes[m].name);
                return 1;
            }
            samples[m] << ms;
        }
    }
    const double bare = median(samples[0]);
    std::printf("TarvoInfo, %d application items (R and F rows), median of %d runs\n", AppItems, Runs);
    for (int m = 0; m < 3; ++m) {
        const double ms = median(samples[m]);
        std::printf("  %-20s %8.2f ms   %5.2f x bare start\n", modes[m].name, ms, ms / bare);
    }
    std::printf("  target: a pass under 50 ms and under 5 x bare start\n");
    return 0;
}
