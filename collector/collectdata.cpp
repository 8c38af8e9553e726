#include "collector/collectdata.h"

#include "collector/definitions/definitionfile.h"
#include "common/codepage.h"

#include <QHash>

using namespace Qt::StringLiterals;

RunMode runModeFromArguments(const QStringList &arguments)
{
    return arguments.join(u' ') == u"ALL" ? RunMode::All : RunMode::Dif;
}

namespace {

/// Writes and reports the items of one run, deciding item by item whether to.
class Recorder
{
public:
    Recorder(ProfileFile &definitions, const CollectInput &input, ColumnLists &columns)
        : m_definitions(definitions), m_mode(input.mode), m_columns(columns),
          m_date(DefinitionFile::runDate(input.now)), m_time(DefinitionFile::runTime(input.now))
    {
    }

    void systemKey(const QByteArray &key, const QString &column, const QString &value,
                   bool createWhenAbsent = false)
    {
        const QString line = u"P;"_s + m_date + u';' + m_time + u';'
                             + DefinitionFile::escapeValue(value);
        record(DefinitionFile::SystemSection, key, column, value, line,
               DefinitionFile::SystemSeparators, createWhenAbsent);
    }

    void appItem(const QByteArray &section, const AppItem &item)
    {
        record(section, CodePage::toAnsi(item.column), item.column, item.value,
               item.line(m_date, m_time), DefinitionFile::AppSeparators);
    }

    bool changed() const { return m_changed; }

private:
    // The value is compared in the form a later read returns it (trailing blanks dropped, cut to
    // the value buffer), so that a value the file cannot hold exactly is not reported every run.
    void record(QByteArrayView section, const QByteArray &key, const QString &column,
                const QString &value, const QString &line, int separators,
                bool createWhenAbsent = false)
    {
        if (m_mode == RunMode::Dif) {
            const QString stored =
                DefinitionFile::storedValue(CodePage::fromAnsi(m_definitions.value(section, key)),
                                            separators);
            const QString current =
                DefinitionFile::storedValue(DefinitionFile::readBack(line), separators);
            if (stored == current) {
                // The drive keys all exist after a run, even those whose value is still empty;
                // an unchanged value is not reported, though.
                if (createWhenAbsent && !m_definitions.containsKey(section, key)) {
                    m_definitions.setValue(section, key, CodePage::toAnsi(line));
                    m_changed = true;
                }
                return;
            }
        }
        m_definitions.setValue(section, key, CodePage::toAnsi(line));
        m_changed = true;
        m_columns.AddColumn(column, value);
    }

    ProfileFile &m_definitions;
    RunMode m_mode;
    ColumnLists &m_columns;
    QString m_date;
    QString m_time;
    bool m_changed = false;
};

} // namespace

bool CollectData(ProfileFile &definitions, const CollectInput &input, ColumnLists &columns)
{
    Recorder recorder(definitions, input, columns);

    QHash<QString, QString> items;
    for (const SystemItem &item : input.systemItems)
        items.insert(item.name.toCaseFolded(), item.value);
    const QList<QByteArray> keys =
        DefinitionFile::sectionKeys(definitions, DefinitionFile::SystemSection);
    for (const QByteArray &key : keys) {
        const QString column = CodePage::fromAnsi(key);
        const auto item = items.constFind(column.toCaseFolded());
        if (item != items.constEnd())
            recorder.systemKey(key, column, *item);
    }

    for (const DriveRow &drive : input.drives) {
        const QString base = u"SysDrive"_s + drive.letter;
        const std::pair<QString, QString> values[] = {
            {base, drive.type},
            {base + u"Volume"_s, drive.volume},
            {base + u"File"_s, drive.fileSystem},
            {base + u"Total"_s, drive.total},
            {base + u"Free"_s, drive.free},
        };
        for (const auto &[column, value] : values)
            recorder.systemKey(CodePage::toAnsi(column), column, value, true);
    }

    columns.AddColumn(u"SysDatVersion"_s,
                      CodePage::fromAnsi(definitions.value(DefinitionFile::DatSection,
                                                           DefinitionFile::DatVersionKey)));

    const QByteArray section = CodePage::toAnsi(input.appSection);
    for (const AppItem &item : input.appItems)
        recorder.appItem(section, item);
    return recorder.changed();
}
