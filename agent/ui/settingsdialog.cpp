#include "agent/ui/settingsdialog.h"

#include "agent/settingsforms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Every text box selects its whole text when it receives the focus, by mouse as well as by key.
class SelectAllOnFocus : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn) {
            if (auto *edit = qobject_cast<QLineEdit *>(watched))
                QTimer::singleShot(0, edit, &QLineEdit::selectAll);
        }
        return false;
    }
};

QString onOff(bool on)
{
    return on ? u"1"_s : u"0"_s;
}

} // namespace

SettingsDialog::SettingsDialog(SettingsForm form, QString programTitle, QWidget *parent)
    : QDialog(parent), m_form(std::move(form)), m_programTitle(std::move(programTitle))
{
}

void SettingsDialog::attach(const QString &caption, QPushButton *save, QPushButton *cancel)
{
    setWindowTitle(caption + u" - "_s + m_programTitle);
    auto *selectAll = new SelectAllOnFocus(this);
    for (QLineEdit *edit : findChildren<QLineEdit *>())
        edit->installEventFilter(selectAll);
    connect(save, &QPushButton::clicked, this, &SettingsDialog::save);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    save->setDefault(true);
    // The file may not be readable (yet): the fields then start empty, as missing keys do.
    m_form.load();
    showValues();
    resize(width(), minimumSizeHint().height());
}

// A control is found by the binding's name; an option pair by its name with "_0" (on) and
// "_1" (off).
void SettingsDialog::showValues()
{
    for (const FormBinding &binding : m_form.bindings()) {
        const QString &name = binding.control;
        const QString text = m_form.value(name);
        if (auto *edit = findChild<QLineEdit *>(name)) {
            edit->setText(text);
            edit->setCursorPosition(0); // a long value shows its beginning
        } else if (auto *label = findChild<QLabel *>(name))
            label->setText(text);
        else if (auto *box = findChild<QCheckBox *>(name))
            box->setChecked(m_form.isOn(name));
        else if (auto *list = findChild<QComboBox *>(name))
            list->setCurrentIndex(text.toInt());
        else if (auto *option = findChild<QRadioButton *>(name))
            option->setChecked(m_form.isOn(name));
        else if (auto *on = findChild<QRadioButton *>(name + u"_0"_s))
            (m_form.isOn(name) ? on : findChild<QRadioButton *>(name + u"_1"_s))->setChecked(true);
    }
}

void SettingsDialog::takeValues()
{
    for (const FormBinding &binding : m_form.bindings()) {
        const QString &name = binding.control;
        if (auto *edit = findChild<QLineEdit *>(name))
            m_form.setValue(name, edit->text());
        else if (auto *box = findChild<QCheckBox *>(name))
            m_form.setValue(name, onOff(box->isChecked()));
        else if (auto *list = findChild<QComboBox *>(name))
            m_form.setValue(name, QString::number(list->currentIndex()));
        else if (auto *option = findChild<QRadioButton *>(name))
            m_form.setValue(name, onOff(option->isChecked()));
        else if (auto *on = findChild<QRadioButton *>(name + u"_0"_s))
            m_form.setValue(name, onOff(on->isChecked()));
    }
    // A check box that is not a key of its own (chkProxy) still decides what is written.
    for (const QCheckBox *box : findChildren<QCheckBox *>())
        m_form.setValue(box->objectName(), onOff(box->isChecked()));
}

void SettingsDialog::save()
{
    takeValues();
    if (const auto refusal = m_form.check()) {
        warn(refusal->message);
        if (auto *edit = findChild<QLineEdit *>(refusal->control)) {
            edit->setFocus(Qt::OtherFocusReason);
            edit->selectAll();
        }
        return;
    }
    QString error;
    if (!m_form.save(&error)) {
        // A write that failed is said so: the settings would otherwise seem saved.
        warn(u"設定を保存できませんでした。\n"_s + error);
        return;
    }
    warn(SettingsForms::restartReminder());
    accept();
}

void SettingsDialog::warn(const QString &text)
{
    QMessageBox::warning(this, m_programTitle, text);
}
