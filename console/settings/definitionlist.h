#pragma once

#include "console/settings/agentsettingspage.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

/// One row of the definition list: a section row ("[APPLICATION_XP]") or an item row whose
/// columns are the key, the ID, the registry key or folder, the subkey or file and the value entry.
struct DefinitionRow
{
    QString text;
    QString id, reg1, reg2, reg3;

    bool isSection() const { return text.startsWith(u'['); }
};

/// The five edit fields of the definition editor.
struct DefinitionFields
{
    QString key, id, reg1, reg2, reg3;
};

/// Which of "追加(&A)", "変更(&U)" and "削除(&D)" can be pressed, and whether the edit fields take input.
struct DefinitionButtons
{
    bool add = false, change = false, remove = false, fields = false;
};

/// The definition editor without widgets: the application sections of a TarvoInfo.dat as rows,
/// the three edit operations with their checks, and the version stamp each edit writes.
class DefinitionList
{
public:
    enum class Edit { Add, Change, Remove };

    /// The application sections shown, in order: the four Windows ones, then the Linux one.
    static const QList<QByteArray> &sections();

    /// `now` gives the time of the version stamp (injectable for tests).
    explicit DefinitionList(std::function<QDateTime()> now = &QDateTime::currentDateTime);

    /// Opens a file: the rows, the first row selected, "追加(&A)" enabled. A file that cannot
    /// be read shows the section rows alone; false then, with the reason in `error`.
    bool open(const QString &path, QString *error = nullptr);
    /// Whether the file opened last could be read: only then do its rows say what it holds.
    bool isRead() const { return m_read; }
    /// Rereads the rows from the file; afterwards no row is selected and no edit is possible.
    void reload();

    const QString &path() const { return m_path; }
    const QList<DefinitionRow> &rows() const { return m_rows; }
    int selectedRow() const { return m_selected; }
    const DefinitionButtons &buttons() const { return m_buttons; }

    /// A click on a row: the fields it shows (empty for a section row) and the buttons it enables.
    DefinitionFields click(int row);
    /// The focus entered an edit field: no delete until the next click.
    void fieldFocused() { m_buttons.remove = false; }

    /// Runs an edit. A refusal names the field and the message; `writeError` gets the write
    /// failure text (the stamp and the reload still follow, as the list must show the file).
    std::optional<PageRefusal> edit(Edit edit, const DefinitionFields &fields,
                                    QString *writeError = nullptr);

    /// The line written for an item: ID;YYYYMMDD;HHMMSS;key-or-folder;subkey-or-file;entry;
    static QString itemLine(const DefinitionFields &fields);
    /// The section a change or delete of `row` works in: the section row at or above it.
    QString sectionOf(int row) const;

private:
    QString m_path;
    bool m_read = false;
    QList<DefinitionRow> m_rows;
    int m_selected = -1;
    DefinitionButtons m_buttons;
    std::function<QDateTime()> m_now;
};
