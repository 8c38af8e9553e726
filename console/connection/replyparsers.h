#pragma once

#include <QList>
#include <QString>

/// The lines of a reply body up to the first empty line (or the end): the bodies of 101 and
/// 301 end with an empty line.
QStringList ReplyLines(const QString &body);

/// One row of the parameter list: change mark (" " fetched, "X" edited), key, value. A section
/// row has the key "[" + section + "]" and an empty value.
struct ParameterRow
{
    QString mark = QStringLiteral(" ");
    QString key;
    QString value;

    bool isSection() const { return key.startsWith(u'['); }
    bool isEdited() const { return mark == u"X"; }
    /// The section name of a section row ("" for a key row).
    QString sectionName() const;
};

/// The rows of a 101 body: each line split at its first "=".
QList<ParameterRow> ParseParameters(const QString &body);

/// One row of the file list of a 301 body.
struct FileRow
{
    QString name;
    QString size;
    QString lastWritten;
    QString fileVersion;
    QString productVersion;

    QStringList fields() const { return {name, size, lastWritten, fileVersion, productVersion}; }
};

/// The rows of a 301 body: five fields separated by ";" per line. Missing fields are empty.
QList<FileRow> ParseFileList(const QString &body);
