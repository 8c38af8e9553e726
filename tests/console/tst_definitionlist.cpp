// The definition editor over a real TarvoInfo.dat: the rows it lists, the three edits, the
// version stamp, and what stays untouched in the file.
#include "console/settings/definitionlist.h"

#include "common/codepage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString Original =
    u"[SYSTEM]\r\nSysOS=P;20040312;093015;Windows XP\r\n"
    "[DAT]\r\nSysDatVersion=20040101000000\r\n"
    "[APPLICATION_ME]\r\nMeOnly=R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;SOFTWARE\\Me;V;\r\n"
    "[APPLICATION_NT]\r\nNtItem=F;20040312;093015;C:\\WINNT;notepad.exe;;True\r\n"
    "[APPLICATION_XP]\r\n OfficeVersion = R;20040312;093015; HKEY_LOCAL_MACHINE ;SOFTWARE\\Example;Version;9.0;x\r\n"
    "Short=R;YYYYMMDD\r\n"
    "[APPLICATION_LINUX]\r\n表計算=R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;SOFTWARE\\Uninstall\\calc;DisplayVersion;\r\n"_s;

QStringList rowTexts(const DefinitionList &list)
{
    QStringList texts;
    for (const DefinitionRow &row : list.rows())
        texts.append(QStringList{row.text, row.id, row.reg1, row.reg2, row.reg3}.join(u'|'));
    return texts;
}

int rowOf(const DefinitionList &list, const QString &text)
{
    for (int i = 0; i < list.rows().size(); ++i) {
        if (list.rows().at(i).text == text)
            return i;
    }
    return -1;
}

} // namespace

class TestDefinitionList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;

    QString fileText()
    {
        QFile file(m_path);
        file.open(QIODevice::ReadOnly);
        return CodePage::fromAnsi(file.readAll());
    }

private Q_SLOTS:
    void init()
    {
        m_path = m_dir.filePath(u"TarvoInfo.dat"_s);
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(CodePage::toAnsi(Original));
    }

    void listsTheApplicationSections()
    {
        DefinitionList list;
        list.open(m_path);
        QCOMPARE(rowTexts(list), (QStringList{
            u"[APPLICATION_9x]||||"_s,
            u"[APPLICATION_NT]||||"_s,
            u"NtItem|F|C:\\WINNT|notepad.exe|"_s,
            u"[APPLICATION_2K]||||"_s,
            u"[APPLICATION_XP]||||"_s,
            u"OfficeVersion|R|HKEY_LOCAL_MACHINE|SOFTWARE\\Example|Version"_s,
            u"Short|R|||"_s,
            u"[APPLICATION_LINUX]||||"_s,
            u"表計算|R|HKEY_LOCAL_MACHINE|SOFTWARE\\Uninstall\\calc|DisplayVersion"_s}));
        QCOMPARE(list.selectedRow(), 0);
        QVERIFY(list.buttons().add && !list.buttons().change && !list.buttons().remove);
        QCOMPARE(list.sectionOf(rowOf(list, u"NtItem"_s)), u"APPLICATION_NT"_s);

        DefinitionList empty;
        QString error;
        QVERIFY(!empty.open(m_dir.filePath(u"none.dat"_s), &error));
        QVERIFY(error.contains(u"none.dat ファイルを開けません"_s));
        QVERIFY(!empty.isRead() && list.isRead());
        QCOMPARE(empty.rows().size(), DefinitionList::sections().size());
    }

    // One run through the three edits, as an administrator would click and type.
    void editsWriteOnlyTheirKeyAndTheStamp()
    {
        QDateTime clock(QDate(2026, 12, 7), QTime(9, 5, 3));
        DefinitionList list([&clock] { return clock; });
        list.open(m_path);

        // Add under the XP section row.
        const DefinitionFields none = list.click(rowOf(list, u"[APPLICATION_XP]"_s));
        QVERIFY(none.key.isEmpty() && list.buttons().add && !list.buttons().change);
        QVERIFY(!list.edit(DefinitionList::Edit::Add,
                           {u" AcrobatVersion "_s, u"X"_s, u" HKEY_LOCAL_MACHINE"_s, u"SOFTWARE\\Adobe"_s, u""_s}));
        QVERIFY(fileText().contains(u"[APPLICATION_XP]\r\n OfficeVersion = R;20040312;093015; HKEY_LOCAL_MACHINE ;"
                                    "SOFTWARE\\Example;Version;9.0;x\r\nShort=R;YYYYMMDD\r\n"
                                    "AcrobatVersion=X;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;SOFTWARE\\Adobe;;\r\n"_s));
        QVERIFY(fileText().contains(u"SysDatVersion=20261207090503\r\n"_s));
        // After the reload nothing is selected and no edit can be made until the next click.
        QCOMPARE(list.selectedRow(), -1);
        QVERIFY(!list.buttons().add && !list.buttons().change && !list.buttons().remove);
        QVERIFY(list.edit(DefinitionList::Edit::Add, {u"K"_s, u"R"_s, u"HKEY_USERS"_s, {}, {}}).has_value());

        // Change the folder only: the line gets the placeholders back and loses its value.
        DefinitionFields office = list.click(rowOf(list, u"OfficeVersion"_s));
        QCOMPARE(office.reg2, u"SOFTWARE\\Example"_s);
        QVERIFY(list.buttons().change && list.buttons().remove);
        list.fieldFocused();
        QVERIFY(!list.buttons().remove);
        // A subkey CP932 cannot hold is refused at its box, the file untouched.
        const QString unchanged = fileText();
        office.reg2 = u"SOFTWARE\\Ex😀"_s;
        const auto refusal = list.edit(DefinitionList::Edit::Change, office);
        QVERIFY(refusal);
        QCOMPARE(refusal->control, u"txtFunc6DatReg2"_s);
        QVERIFY(refusal->message.startsWith(u"「サブキー/ファイル」にShift-JISで保存できない文字（😀）"_s));
        QCOMPARE(fileText(), unchanged);
        office.reg2 = u"SOFTWARE\\Example\\16.0"_s;
        clock = clock.addSecs(60);
        QVERIFY(!list.edit(DefinitionList::Edit::Change, office));
        QVERIFY(fileText().contains(u"OfficeVersion=R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;SOFTWARE\\Example\\16.0;Version;\r\n"
                                    "Short="_s));
        QVERIFY(fileText().contains(u"SysDatVersion=20261207090603\r\n"_s));

        // Rename in the NT section: the old key goes, the new one comes last in the same section.
        DefinitionFields nt = list.click(rowOf(list, u"NtItem"_s));
        nt.key = u"NtEditor"_s;
        QVERIFY(!list.edit(DefinitionList::Edit::Change, nt));
        QVERIFY(fileText().contains(u"[APPLICATION_NT]\r\nNtEditor=F;YYYYMMDD;HHMMSS;C:\\WINNT;notepad.exe;;\r\n[APPLICATION_XP]"_s));

        // Delete a Japanese key of the Linux section.
        const DefinitionFields calc = list.click(rowOf(list, u"表計算"_s));
        QVERIFY(!list.edit(DefinitionList::Edit::Remove, calc));
        QVERIFY(fileText().endsWith(u"[APPLICATION_LINUX]\r\n"_s));
        QCOMPARE(rowOf(list, u"表計算"_s), -1);

        // Sections the page does not show stay as they were.
        QVERIFY(fileText().startsWith(u"[SYSTEM]\r\nSysOS=P;20040312;093015;Windows XP\r\n"_s));
        QVERIFY(fileText().contains(u"[APPLICATION_ME]\r\nMeOnly=R;YYYYMMDD;HHMMSS;HKEY_LOCAL_MACHINE;SOFTWARE\\Me;V;\r\n"_s));
    }

    void checksBeforeAnyWrite_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("message");
        QTest::newRow("key") << QStringList{u" "_s, u"R"_s, u"HKEY_USERS"_s} << u"txtFunc6DatKey"_s
                             << u"キーを選択または入力してください！"_s;
        QTest::newRow("id") << QStringList{u"K"_s, u""_s, u"HKEY_USERS"_s} << u"comboFunc6DatID"_s
                            << u"IDを選択してください！"_s;
        QTest::newRow("folder") << QStringList{u"K"_s, u"F"_s, u"  "_s} << u"txtFunc6DatReg1"_s
                                << u"レジストリキー／フォルダを選択または入力してください！"_s;
    }
    void checksBeforeAnyWrite()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, control);
        QFETCH(QString, message);
        DefinitionList list;
        list.open(m_path);
        list.click(rowOf(list, u"OfficeVersion"_s));
        const auto refusal = list.edit(DefinitionList::Edit::Change, {fields[0], fields[1], fields[2], {}, {}});
        QVERIFY(refusal);
        QCOMPARE(refusal->control, control);
        QCOMPARE(refusal->message, message);
        QCOMPARE(fileText(), Original);
    }
};

QTEST_GUILESS_MAIN(TestDefinitionList)
#include "tst_definitionlist.moc"
