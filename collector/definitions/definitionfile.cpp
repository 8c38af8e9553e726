#include "collector/definitions/definitionfile.h"

#include "common/codepage.h"

using namespace Qt::StringLiterals;

QString DefinitionFile::SectionForOs(int platformId, int major, int minor)
{
    if (platformId == 1)
        return minor == 90 ? u"APPLICATION_ME"_s : u"APPLICATION_9x"_s;
    if (platformId == 2 && major == 4)
        return u"APPLICATION_NT"_s;
    if (platformId == 2 && major == 5 && minor == 0)
        return u"APPLICATION_2K"_s;
    if (platformId == 2 && major == 5 && minor == 1)
        return u"APPLICATION_XP"_s;
    return {};
}

QString DefinitionFile::applicationSection()
{
    return u"APPLICATION_LINUX"_s;
}

QList<QByteArray> DefinitionFile::sectionKeys(const ProfileFile &file, QByteArrayView section)
{
    QList<QByteArray> keys = file.keyNames(section, KeyListBufferChars);
    // The buffer may end in the first part of a name: that is no key of the section, and an
    // ALL-mode write under it would add a stray key to the file.
    if (!keys.isEmpty() && !file.containsKey(section, keys.last()))
        keys.removeLast();
    return keys;
}

QStringList DefinitionFile::splitFields(QStringView line, int count)
{
    QStringList fields;
    qsizetype start = 0;
    for (int i = 0; i < count - 1; ++i) {
        const qsizetype semicolon = start <= line.size() ? line.indexOf(u';', start) : -1;
        if (semicolon < 0) {
            fields.append(start <= line.size() ? line.sliced(start).toString() : QString());
            start = line.size() + 1;
        } else {
            fields.append(line.sliced(start, semicolon - start).toString());
            start = semicolon + 1;
        }
    }
    fields.append(start <= line.size() ? line.sliced(start).toString() : QString());
    return fields;
}

QString DefinitionFile::storedValue(QStringView line, int separators)
{
    qsizetype start = 0;
    for (int i = 0; i < separators; ++i) {
        const qsizetype semicolon = line.indexOf(u';', start);
        if (semicolon < 0)
            return {};
        start = semicolon + 1;
    }
    return line.sliced(start).toString();
}

QString DefinitionFile::escapeValue(QStringView value)
{
    const bool needed = value.startsWith(u'\\') || value.contains(u'\r') || value.contains(u'\n');
    if (!needed)
        return value.toString();
    QString escaped = u"\\"_s;
    for (QChar c : value) {
        if (c == u'\\')
            escaped += u"\\\\"_s;
        else if (c == u'\r')
            escaped += u"\\r"_s;
        else if (c == u'\n')
            escaped += u"\\n"_s;
        else
            escaped += c;
    }
    return escaped;
}

QString DefinitionFile::unescapeValue(QStringView stored)
{
    if (!stored.startsWith(u'\\'))
        return stored.toString();
    QString value;
    for (qsizetype i = 1; i < stored.size(); ++i) {
        const QChar c = stored[i];
        if (c != u'\\' || i + 1 == stored.size()) {
            value += c;
            continue;
        }
        const QChar next = stored[++i];
        value += next == u'r' ? QChar(u'\r') : next == u'n' ? QChar(u'\n') : next;
    }
    return value;
}

QString DefinitionFile::runDate(const QDateTime &when)
{
    return when.toString(u"yyyyMMdd"_s);
}

QString DefinitionFile::runTime(const QDateTime &when)
{
    return when.toString(u"HHmmss"_s);
}

QString DefinitionFile::readBack(QStringView line)
{
    // Round-trip through a profile of its own, so that the comparison follows exactly the rules
    // that the real write and the next run's read apply.
    ProfileFile scratch;
    scratch.setValue("s", "k", CodePage::toAnsi(line));
    return CodePage::fromAnsi(scratch.value("s", "k"));
}
