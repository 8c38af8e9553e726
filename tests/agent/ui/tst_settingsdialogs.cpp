#include "agent/ui/frmagentsetting.h"
#include "agent/ui/frmsettingftp.h"
#include "agent/ui/frmsettingmail.h"
#include "support_modal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString Title = u"TarvoAgent"_s;
const QByteArray Installed =
    "[TarvoAgent]\r\nPort=8000\r\nTimeOut=60\r\nStatusLog=1000\r\nAutoStart=0\r\nAutoExit=0\r\n"
    "TimeStart=WEEK,08:30,MON,FRI\r\nExeFile=TarvoInfo\r\nDebugMode=0\r\n"
    "[TarvoInfo]\r\nSmtpMail=1\r\nFtpUpload=0\r\nSQLUpdate=0\r\nFtpType=2\r\n"
    "FtpProxy=gw:8080\r\nFtpAddress=ftp.example.jp\r\nFtpPort=21\r\nFtpDirectory=/in\r\n"
    "FtpUser=tarvo\r\n"_ba;

template<typename T>
T *child(QWidget &parent, const QString &name)
{
    T *found = parent.findChild<T *>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

} // namespace

/// What a user of the settings dialogs sees: the stored settings, the option pairs enabling
/// their detail buttons, the refusal with the focus on the field, the reminder after a save.
class TestSettingsDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void settingDialog();
    void ftpDialog();
    void mailSecurity();

private:
    QByteArray iniBytes() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_ini;
};

void TestSettingsDialogs::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_ini = m_dir->filePath(u"TarvoAgent.ini"_s);
    QFile file(m_ini);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Installed);
}

QByteArray TestSettingsDialogs::iniBytes() const
{
    QFile file(m_ini);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestSettingsDialogs::settingDialog()
{
    frmAgentSetting dialog(m_ini, Title);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), u"設定 - TarvoAgent"_s);
    QCOMPARE(child<QLineEdit>(dialog, u"txtPort"_s)->text(), u"8000"_s);
    QCOMPARE(child<QLabel>(dialog, u"lblProgram"_s)->text(), u"TarvoInfo"_s);
    QCOMPARE(child<QLabel>(dialog, u"lblTimer_0"_s)->text(), u"毎週"_s);
    QCOMPARE(child<QLabel>(dialog, u"lblTimer_1"_s)->text(), u"MON,FRI"_s);
    QCOMPARE(child<QLabel>(dialog, u"lblTimer_2"_s)->text(), u"起動時刻 08:30"_s);
    QVERIFY(child<QRadioButton>(dialog, u"optDebugMode_1"_s)->isChecked());

    // The stored flags enable the detail buttons; "しない" disables "設定(&M)" at once.
    auto *mailDetail = child<QPushButton>(dialog, u"cmdDetail_0"_s);
    QVERIFY(mailDetail->isEnabled());
    QVERIFY(!child<QPushButton>(dialog, u"cmdDetail_1"_s)->isEnabled());
    QVERIFY(!child<QPushButton>(dialog, u"cmdDetail_2"_s)->isEnabled());
    QString mailCaption;
    whenModalOpens([&](QWidget *detail) { mailCaption = detail->windowTitle(); });
    mailDetail->click();
    QCOMPARE(mailCaption, u"メール送信設定 - TarvoAgent"_s);
    child<QRadioButton>(dialog, u"optMail_1"_s)->click();
    QVERIFY(!mailDetail->isEnabled());

    // An empty time-out is refused: its message, the focus there, nothing written.
    auto *timeOut = child<QLineEdit>(dialog, u"txtTimeOut"_s);
    child<QLineEdit>(dialog, u"txtPort"_s)->setText(u"9000"_s);
    timeOut->setText(u"  "_s);
    QString message;
    QString title;
    takeMessage(&message, &title);
    child<QPushButton>(dialog, u"cmdButton_0"_s)->click();
    QCOMPARE(message, u"タイムアウト値（秒）を指定してください。"_s);
    QCOMPARE(title, Title);
    QCOMPARE(dialog.focusWidget(), timeOut);
    QCOMPARE(iniBytes(), Installed);

    // Saved: the reminder, the keys written, the dialog closed.
    timeOut->setText(u"30"_s);
    takeMessage(&message);
    child<QPushButton>(dialog, u"cmdButton_0"_s)->click();
    QCOMPARE(message, u"変更を有効にするためにプログラムを再起動してください。"_s);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const QByteArray written = iniBytes();
    QVERIFY(written.contains("Port=9000\r\nTimeOut=30\r\n"));
    QVERIFY(written.contains("SmtpMail=0\r\n"));
    QVERIFY(written.contains("TimeStart=WEEK,08:30,MON,FRI\r\n"));
}

void TestSettingsDialogs::ftpDialog()
{
    frmSettingFtp dialog(m_ini, Title);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), u"FTP送信設定 - TarvoAgent"_s);
    QVERIFY(child<QRadioButton>(dialog, u"optBin"_s)->isChecked());
    QVERIFY(child<QCheckBox>(dialog, u"chkPassive"_s)->isChecked());
    QCOMPARE(child<QLineEdit>(dialog, u"txtFtpPassword"_s)->echoMode(), QLineEdit::Password);
    auto *proxy = child<QLineEdit>(dialog, u"txtProxy"_s);
    QVERIFY(proxy->isEnabled());
    QCOMPARE(proxy->text(), u"gw:8080"_s);

    child<QCheckBox>(dialog, u"chkProxy"_s)->click();
    QVERIFY(!proxy->isEnabled());
    QVERIFY(proxy->text().isEmpty());
    QString message;
    takeMessage(&message);
    child<QPushButton>(dialog, u"cmdButton_0"_s)->click();
    QCOMPARE(message, u"変更を有効にするためにプログラムを再起動してください。"_s);
    const QByteArray written = iniBytes();
    QVERIFY(written.contains("FtpType=2\r\nFtpProxy=\r\n"));
    QVERIFY(written.contains("FtpPassive=1\r\n"));
}

void TestSettingsDialogs::mailSecurity()
{
    QFile file(m_ini);
    QVERIFY(file.open(QIODevice::Append));
    file.write("SmtpServer=mail.example.jp\r\nSmtpPort=465\r\nTo=a@example.jp\r\n"
               "From=pc@example.jp\r\nSubject=PC\r\nSmtpTls=2\r\nSmtpUser=pc01\r\n");
    file.close();
    frmSettingMail dialog(m_ini, Title);
    dialog.show();
    auto *tls = child<QComboBox>(dialog, u"cboSmtpTls"_s);
    QCOMPARE(tls->currentText(), u"SMTPS（最初からTLS）"_s);
    QCOMPARE(child<QLineEdit>(dialog, u"txtSmtpUser"_s)->text(), u"pc01"_s);
    QCOMPARE(child<QLineEdit>(dialog, u"txtSmtpPassword"_s)->echoMode(), QLineEdit::Password);

    tls->setCurrentIndex(1);
    child<QLineEdit>(dialog, u"txtSmtpPassword"_s)->setText(u"pw"_s);
    QString message;
    takeMessage(&message);
    child<QPushButton>(dialog, u"cmdButton_0"_s)->click();
    QCOMPARE(message, u"変更を有効にするためにプログラムを再起動してください。"_s);
    QVERIFY(iniBytes().endsWith("SmtpTls=1\r\nSmtpUser=pc01\r\nSmtpPassword=pw\r\nSmtpCaFile=\r\n"));
}

QTEST_MAIN(TestSettingsDialogs)
#include "tst_settingsdialogs.moc"
