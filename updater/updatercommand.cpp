#include "updater/updatercommand.h"

using namespace Qt::StringLiterals;

namespace {

// Only spaces are trimmed: a tab is part of a word, as it is for the agent that wrote the line.
QStringView trimSpaces(QStringView text)
{
    while (text.startsWith(u' '))
        text = text.mid(1);
    while (text.endsWith(u' '))
        text.chop(1);
    return text;
}

UpdaterCommand::Kind kindOf(const QString &word)
{
    if (word == u"restart"_s)
        return UpdaterCommand::Kind::Restart;
    if (word == u"update"_s)
        return UpdaterCommand::Kind::Update;
    if (word == u"terminate"_s)
        return UpdaterCommand::Kind::Terminate;
    return UpdaterCommand::Kind::None;
}

} // namespace

UpdaterCommand UpdaterCommand::parse(QStringView argumentText)
{
    UpdaterCommand command;
    const QStringView text = trimSpaces(argumentText);
    if (text.isEmpty())
        return command;
    for (QStringView word : text.split(u' '))
        command.words.append(word.toString());
    command.kind = kindOf(command.word(0));
    return command;
}

QString UpdaterCommand::argumentText(const QStringList &arguments)
{
    return arguments.join(u' ');
}

bool UpdaterCommand::isValid() const
{
    return kind != Kind::None && !word(1).isEmpty();
}

QString UpdaterCommand::word(int index) const
{
    return index >= 0 && index < words.size() ? words.at(index) : QString();
}
