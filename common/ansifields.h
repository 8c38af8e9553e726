#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

/// A text box whose text is about to be stored in the ANSI code page.
struct AnsiField
{
    QString control; // the box's objectName, which gets the focus when it is refused
    QString caption; // how the user knows the box ("件名")
    QString text;
    bool secret = false; // a password: the message does not repeat its characters
};

/// The check, before a save, that every text can be stored in CP932: a character it cannot
/// hold would otherwise be written as "?" without a word.
namespace AnsiFields {

struct Refusal
{
    QString control;
    QString message;
};

/// The characters of `text` that CP932 cannot hold, each once, in the order they appear.
QString unholdable(QStringView text);
/// The first of `fields` holding such characters, with the message that names the box and them.
std::optional<Refusal> check(const QList<AnsiField> &fields);

} // namespace AnsiFields
