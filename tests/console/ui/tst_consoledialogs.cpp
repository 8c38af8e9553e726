// The settings dialog, the explanation window and the help window, as the administrator sees
// them: what they show, what they refuse, what they write.
#include "console/settings/consolesettings.h"
#include "console/ui/dialogs/frmhelp.h"
#include "console/ui/dialogs/frminformation.h"
#include "console/ui/dialogs/frmsetting.h"
#include "console/ui/windowfrontend.h"
#include "support/agentprocess.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace {
// Accepts the next message box and keeps its text.
QString g_boxText;
void watchForBox()
{
    g_boxText.clear();
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            g_boxText = box->text();
            box->accept();
            timer->deleteLater();
        }
    });
    timer->start(10);
}
} // namespace

class TestConsoleDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void settingsRefuseAndSave_data();
    void settingsRefuseAndSave();
    void explanationAndHelp();
};

void TestConsoleDialogs::settingsRefuseAndSave_data()
{
    QTest::addColumn<QStringList>("typed"); // port, time-out, maximum connections
    QTest::addColumn<QString>("box");       // "" when the save goes through
    QTest::addColumn<QString>("focus");
    QTest::newRow("no port") << QStringList{u" "_s, u"5"_s, u"2"_s}
                             << u"ポート番号を指定してください。"_s << u"txtPort"_s;
    QTest::newRow("no time-out") << QStringList{u"7710"_s, u""_s, u"2"_s}
                                 << u"タイムアウト値（秒）を指定してください。"_s << u"txtTimeOut"_s;
    QTest::newRow("no maximum") << QStringList{u"7710"_s, u"5"_s, u""_s}
                                << u"最大同時接続数を指定してください。"_s << u"txtMaxControl"_s;
    QTest::newRow("saved trimmed") << QStringList{u"  9000 "_s, u"5"_s, u"2"_s} << QString()
                                   << QString();
}

void TestConsoleDialogs::settingsRefuseAndSave()
{
    QFETCH(QStringList, typed);
    QFETCH(QString, box);
    QFETCH(QString, focus);
    QTemporaryDir dir;
    ConsoleSettings settings = LoadConsoleSettings(dir.path());
    QLabel status;
    WindowFrontEnd frontEnd(nullptr, &status);
    frmSetting dialog(settings, frontEnd);
    QCOMPARE(dialog.windowTitle(), u"設定 - TarvoControl"_s);
    // The mode in force is shown, the plain one unless TlsConnect says otherwise.
    QCOMPARE(dialog.findChild<QLabel *>(u"lblTlsMode"_s)->text(),
             u"暗号化：なし（TlsConnect=plain）"_s);
    dialog.show();
    const QStringList boxes{u"txtPort"_s, u"txtTimeOut"_s, u"txtMaxControl"_s};
    for (int i = 0; i < boxes.size(); ++i)
        dialog.findChild<QLineEdit *>(boxes.at(i))->setText(typed.at(i));
    dialog.findChild<QLineEdit *>(u"txtSqlTable"_s)->setText(u" TarvoInfo "_s);
    watchForBox();
    dialog.findChild<QPushButton *>(u"cmdButton_0"_s)->click();
    QFile written(dir.filePath(u"TarvoControl.ini"_s));
    if (!box.isEmpty()) {
        QTRY_COMPARE(g_boxText, box);
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.focusWidget());
        QCOMPARE(dialog.focusWidget()->objectName(), focus);
        QVERIFY(!written.exists());
        return;
    }
    QVERIFY(!dialog.isVisible());
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    QVERIFY(bytes.contains("Port=9000"));
    QVERIFY(bytes.indexOf("Port=") < bytes.indexOf("Timeout=")
            && bytes.indexOf("MaxControl=") < bytes.indexOf("SqlConnection="));
    QVERIFY(bytes.contains("SqlTable=TarvoInfo\r\n"));
    QCOMPARE(settings.MaxControlCount, 2);
}

void TestConsoleDialogs::explanationAndHelp()
{
    // The shipped explanation files are CP932; each is shown whole, each line ended by CR LF.
    QTemporaryDir dir;
    for (const QString &file : {u"TarvoControl.mm1"_s, u"TarvoControl.mm2"_s,
                                u"TarvoControl.mm3"_s}) {
        QVERIFY(QFile::copy(QStringLiteral(TARVO_SOURCE_DIR) + u"/packaging/"_s + file,
                            dir.filePath(file)));
        frmInformation window(dir.path(), file);
        QCOMPARE(window.windowTitle(), u"TarvoControl - 解説"_s);
        QVERIFY(window.text().startsWith(u"■ "_s));
        QVERIFY(window.text().size() > 500);
        QVERIFY(!window.text().contains(QChar::ReplacementCharacter));
    }
    frmInformation missing(dir.path(), u"TarvoControl.mm9"_s);
    QCOMPARE(missing.text(), QString());

    frmHelp help(dir.path(), QIcon());
    QCOMPARE(help.windowTitle(), u"TarvoControlのヘルプ"_s);
    QCOMPARE(help.guidePath(), dir.filePath(u"TarvoControl-guide.html"_s));
    QVERIFY(help.findChild<QLabel *>(u"lblPDF"_s)->text().contains(help.guidePath()));
    QFile guide(QStringLiteral(TARVO_SOURCE_DIR) + u"/packaging/TarvoControl-guide.html"_s);
    QVERIFY(guide.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(guide.readAll());
    for (const QString &page : {u"リモート制御（個別）"_s, u"リモート制御（一括）"_s,
                                u"モジュールチェック"_s, u"稼動ログ参照"_s, u"モジュール配布"_s})
        QVERIFY2(html.contains(page), qPrintable(page));
}

QTEST_MAIN(TestConsoleDialogs)
#include "tst_consoledialogs.moc"
