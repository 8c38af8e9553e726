#pragma once

#include "agent/settingsform.h"

#include <QDialog>

class QPushButton;

/// What the four settings dialogs share: the controls filled from the form by their
/// objectNames, every text box selecting its text on focus, and Save (check, write, remind of
/// the restart) and Cancel (close without writing).
class SettingsDialog : public QDialog
{
    Q_OBJECT
public:
    SettingsDialog(SettingsForm form, QString programTitle, QWidget *parent = nullptr);

protected:
    /// Called once the subclass has built its controls.
    void attach(const QString &caption, QPushButton *save, QPushButton *cancel);
    const QString &programTitle() const { return m_programTitle; }
    const SettingsForm &form() const { return m_form; }

private:
    void showValues();
    void takeValues();
    void save();
    void warn(const QString &text);

    SettingsForm m_form;
    QString m_programTitle;
};
