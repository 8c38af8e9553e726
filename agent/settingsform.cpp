#include "agent/settingsform.h"

#include "common/agentinikeys.h"
#include "common/ansifields.h"
#include "common/codepage.h"
#include "common/profilefile.h"

using namespace Qt::StringLiterals;

namespace {

QString onOff(bool on)
{
    return on ? u"1"_s : u"0"_s;
}

bool isWholeNumberUpTo(const QString &text, qint64 maxNumber)
{
    if (text.isEmpty() || text.size() > 12)
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    const qint64 number = text.toLongLong();
    return number >= 1 && number <= maxNumber;
}

} // namespace

SettingsForm::SettingsForm(QString iniPath, QList<FormBinding> bindings, QList<FormCheck> checks,
                           QHash<QString, QString> captions)
    : m_path(std::move(iniPath)), m_bindings(std::move(bindings)), m_checks(std::move(checks)),
      m_captions(std::move(captions))
{
}

bool SettingsForm::load(QString *error)
{
    ProfileFile file(m_path);
    if (!file.load(error))
        return false;
    for (const FormBinding &binding : m_bindings) {
        const QByteArray raw = file.value(binding.section, binding.key);
        QString shown;
        switch (binding.kind) {
        case FormBinding::Flag: shown = onOff(raw == "1"); break;
        case FormBinding::PassiveFlag: shown = onOff(raw != "0"); break;
        case FormBinding::BinaryType: shown = onOff(raw.trimmed().toInt() == 2); break;
        case FormBinding::Choice: shown = AgentIni::choiceIndex(QString::fromLatin1(raw)); break;
        default: shown = CodePage::fromAnsi(raw); break;
        }
        m_values[binding.control] = shown;
    }
    return true;
}

std::optional<SettingsForm::Refusal> SettingsForm::check() const
{
    for (const FormCheck &field : m_checks) {
        const QString text = value(field.control).trimmed();
        if (text.isEmpty())
            return Refusal{field.control, field.emptyMessage};
        if (field.maxNumber > 0 && !isWholeNumberUpTo(text, field.maxNumber))
            return Refusal{field.control, field.rangeMessage};
    }
    QList<AnsiField> texts;
    for (const FormBinding &binding : m_bindings) {
        const bool written = binding.kind == FormBinding::Text
                             && (binding.onlyWhen.isEmpty() || isOn(binding.onlyWhen));
        if (written)
            texts.append({binding.control, m_captions.value(binding.control, binding.control),
                          value(binding.control).trimmed(), binding.key.endsWith("Password")});
    }
    if (const auto refusal = AnsiFields::check(texts))
        return Refusal{refusal->control, refusal->message};
    return std::nullopt;
}

QByteArray SettingsForm::encoded(const FormBinding &binding) const
{
    const bool on = isOn(binding.control);
    switch (binding.kind) {
    case FormBinding::Flag:
    case FormBinding::PassiveFlag: return on ? "1"_ba : "0"_ba;
    case FormBinding::BinaryType: return on ? "2"_ba : "1"_ba;
    case FormBinding::Choice: return AgentIni::choiceIndex(value(binding.control)).toLatin1();
    default: break;
    }
    if (!binding.onlyWhen.isEmpty() && !isOn(binding.onlyWhen))
        return {};
    return CodePage::toAnsi(value(binding.control).trimmed());
}

bool SettingsForm::save(QString *error) const
{
    if (const auto refusal = check()) {
        if (error)
            *error = refusal->message;
        return false;
    }
    // Read again at save time: keys changed since the dialog opened (request 110) and every
    // key the dialog does not show stay as they are.
    ProfileFile file(m_path);
    if (!file.load(error))
        return false;
    for (const FormBinding &binding : m_bindings) {
        // A shown key goes back unchanged, which is to leave it as the file holds it now.
        if (binding.kind == FormBinding::Shown)
            continue;
        file.setValue(binding.section, binding.key, encoded(binding));
    }
    return file.save(error);
}
