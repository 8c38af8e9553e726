#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

/// How one control of a settings dialog maps to a key of TarvoAgent.ini.
struct FormBinding
{
    enum Kind : quint8 {
        Text,        // trimmed text, written as it is
        Flag,        // "1" is on, anything else off; written "1" or "0"
        PassiveFlag, // only "0" is off; written "1" or "0"
        BinaryType,  // 2 is binary, anything else ASCII; written "2" or "1"
        Choice,      // "0", "1" or "2" (the index of a list box); anything else is "0"
        Shown,       // shown, never written (ExeFile, and TimeStart, which goes back unchanged)
    };
    QString control; // the control's objectName ("txtPort", "optMail" for the pair optMail_0/_1)
    QByteArray section;
    QByteArray key;
    Kind kind = Text;
    /// For a text that belongs to a check box: written empty while that control is off.
    QString onlyWhen = {};
};

/// A field the save refuses: empty, or (with `maxNumber`) not a whole number from 1 to it.
struct FormCheck
{
    QString control;
    QString emptyMessage;
    qint64 maxNumber = 0;
    QString rangeMessage = {};
};

/// The logic of one settings dialog without its widgets: reads the keys it shows, checks the
/// fields in a fixed order, and writes its keys in a fixed order with one atomic save that keeps
/// every other section and key of the file.
///
/// Values are texts keyed by control name; on/off controls hold "1" or "0".
class SettingsForm
{
public:
    struct Refusal
    {
        QString control;
        QString message;
    };

    /// `captions`: how the user knows each text box (control name to caption), for the
    /// message that refuses a text CP932 cannot hold.
    SettingsForm(QString iniPath, QList<FormBinding> bindings, QList<FormCheck> checks,
                 QHash<QString, QString> captions = {});

    bool load(QString *error = nullptr);
    QString value(const QString &control) const { return m_values.value(control); }
    bool isOn(const QString &control) const
    {
        return value(control) == QLatin1StringView("1");
    }
    void setValue(const QString &control, const QString &value) { m_values[control] = value; }
    const QList<FormBinding> &bindings() const { return m_bindings; }

    /// The first failing field in the fixed order, then the first text (in binding order) that
    /// CP932 cannot hold; nullopt when everything may be saved.
    std::optional<Refusal> check() const;
    /// Writes the keys in their order with one atomic replacement of the file. False with the
    /// reason, and nothing written, when a field is refused or the file cannot be replaced.
    bool save(QString *error = nullptr) const;

private:
    QByteArray encoded(const FormBinding &binding) const;

    QString m_path;
    QList<FormBinding> m_bindings;
    QList<FormCheck> m_checks;
    QHash<QString, QString> m_captions;
    QHash<QString, QString> m_values;
};
