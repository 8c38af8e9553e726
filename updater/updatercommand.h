#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

/// The updater's instruction, taken from its command line: the command word, the agent's
/// name (how the running agent is found), its program file and the new program file.
struct UpdaterCommand
{
    enum class Kind { None, Restart, Update, Terminate };

    Kind kind = Kind::None;
    QStringList words;

    /// Splits the argument text: trimmed of spaces, then cut at every single space (two spaces
    /// give an empty word). The command word is exact and lower case.
    static UpdaterCommand parse(QStringView argumentText);
    /// The argument text of a program started with separate arguments.
    static QString argumentText(const QStringList &arguments);

    /// A known command with a non-empty word 1; anything else ends the updater untouched.
    bool isValid() const;
    /// Word `index`, or the empty text when the line is shorter.
    QString word(int index) const;

    QString agentName() const { return word(1); }
    QString programFile() const { return word(2); }
    QString newProgramFile() const { return word(3); }
};
