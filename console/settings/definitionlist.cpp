#include "console/settings/definitionlist.h"

#include "common/ansifields.h"
#include "common/codepage.h"
#include "common/profilefile.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace {

// GetPrivateProfileStringA with a null key name into 10,240 characters.
constexpr int KeyListBufferChars = 10240;

QString ansi(const QByteArray &bytes)
{
    return CodePage::fromAnsi(bytes);
}

DefinitionRow itemRow(const QString &key, const QString &value)
{
    // Fields 1 to 6 end at the first six ";"; a missing one stays empty.
    const QStringList parts = value.split(u';');
    auto part = [&parts](int n) { return n < parts.size() && n < 6 ? parts.at(n).trimmed() : QString(); };
    return {key.trimmed(), part(0), part(3), part(4), part(5)};
}

} // namespace

const QList<QByteArray> &DefinitionList::sections()
{
    static const QList<QByteArray> names = {"APPLICATION_9x", "APPLICATION_NT", "APPLICATION_2K",
                                            "APPLICATION_XP", "APPLICATION_LINUX"};
    return names;
}

DefinitionList::DefinitionList(std::function<QDateTime()> now)
    : m_now(std::move(now))
{
}

bool DefinitionList::open(const QString &path, QString *error)
{
    m_path = path;
    // A profile read takes a missing file for an empty one; a definition file must be there.
    QFile probe(path);
    m_read = probe.open(QIODevice::ReadOnly);
    if (!m_read && error)
        *error = path + u" ファイルを開けません（"_s + probe.errorString() + u"）。"_s;
    probe.close();
    reload();
    m_selected = m_rows.isEmpty() ? -1 : 0;
    m_buttons = {true, false, false, false};
    return m_read;
}

void DefinitionList::reload()
{
    m_rows.clear();
    ProfileFile file(m_path);
    file.load(); // what cannot be read is shown empty
    for (const QByteArray &section : sections()) {
        m_rows.append({u'[' + QString::fromLatin1(section) + u']', {}, {}, {}, {}});
        for (const QByteArray &key : file.keyNames(section, KeyListBufferChars))
            m_rows.append(itemRow(ansi(key), ansi(file.value(section, key))));
    }
    m_selected = -1;
    m_buttons = {};
}

DefinitionFields DefinitionList::click(int row)
{
    if (row < 0 || row >= m_rows.size())
        return {};
    m_selected = row;
    const DefinitionRow &chosen = m_rows.at(row);
    if (chosen.isSection()) {
        m_buttons = {true, false, false, true};
        return {};
    }
    m_buttons = {false, true, true, true};
    return {chosen.text, chosen.id, chosen.reg1, chosen.reg2, chosen.reg3};
}

QString DefinitionList::itemLine(const DefinitionFields &fields)
{
    return fields.id + u";YYYYMMDD;HHMMSS;"_s + fields.reg1.trimmed() + u';' + fields.reg2.trimmed()
           + u';' + fields.reg3.trimmed() + u';';
}

QString DefinitionList::sectionOf(int row) const
{
    QString section;
    for (int i = 0; i <= row && i < m_rows.size(); ++i) {
        if (m_rows.at(i).isSection()) {
            const QString text = m_rows.at(i).text.trimmed();
            section = text.mid(1, text.size() - 2);
        }
    }
    return section;
}

std::optional<PageRefusal> DefinitionList::edit(Edit edit, const DefinitionFields &fields,
                                                QString *writeError)
{
    if (fields.key.trimmed().isEmpty())
        return PageRefusal{u"txtFunc6DatKey"_s, u"キーを選択または入力してください！"_s};
    if (fields.id.trimmed().isEmpty())
        return PageRefusal{u"comboFunc6DatID"_s, u"IDを選択してください！"_s};
    if (fields.reg1.trimmed().isEmpty())
        return PageRefusal{u"txtFunc6DatReg1"_s,
                           u"レジストリキー／フォルダを選択または入力してください！"_s};
    // A reload leaves no row selected, so nothing can be edited until the next click.
    if (m_selected < 0 || m_selected >= m_rows.size())
        return PageRefusal{u"lvwFunc6Dat"_s, u"キーを選択または入力してください！"_s};
    if (const auto refusal = AnsiFields::check({
            {u"txtFunc6DatKey"_s, u"キー"_s, fields.key.trimmed()},
            {u"comboFunc6DatID"_s, u"ID"_s, fields.id},
            {u"txtFunc6DatReg1"_s, u"キー/フォルダ"_s, fields.reg1.trimmed()},
            {u"txtFunc6DatReg2"_s, u"サブキー/ファイル"_s, fields.reg2.trimmed()},
            {u"txtFunc6DatReg3"_s, u"値エントリ"_s, fields.reg3.trimmed()}}))
        return PageRefusal{refusal->control, refusal->message};

    const DefinitionRow &row = m_rows.at(m_selected);
    const QString key = fields.key.trimmed();
    const QByteArray line = CodePage::toAnsi(itemLine(fields));
    ProfileFile file(m_path);
    QString reason;
    bool ok = file.load(&reason);
    if (ok) {
        if (edit == Edit::Add) {
            const QString text = row.text.trimmed();
            const QByteArray section = CodePage::toAnsi(text.mid(1, text.size() - 2));
            file.setValue(section, CodePage::toAnsi(key), line);
        } else {
            const QByteArray section = CodePage::toAnsi(sectionOf(m_selected));
            const QByteArray old = CodePage::toAnsi(row.text.trimmed());
            if (edit == Edit::Remove) {
                file.setValue(section, old, std::nullopt);
            } else {
                if (row.text.trimmed() != key)
                    file.setValue(section, old, std::nullopt);
                file.setValue(section, CodePage::toAnsi(key), line);
            }
        }
        file.setValue("DAT", "SysDatVersion",
                      m_now().toString(u"yyyyMMddHHmmss"_s).toLatin1());
        ok = file.save(&reason);
    }
    if (!ok && writeError)
        *writeError = m_path + u" ファイルの書き込み時にエラーが発生しました。"_s;
    const bool fieldsOpen = m_buttons.fields;
    reload();
    m_buttons.fields = fieldsOpen;
    return std::nullopt;
}
