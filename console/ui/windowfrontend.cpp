#include "console/ui/windowfrontend.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>

using namespace Qt::Literals::StringLiterals;

WindowFrontEnd::WindowFrontEnd(QWidget *owner, QLabel *statusPanel)
    : m_owner(owner), m_statusPanel(statusPanel)
{
}

WindowFrontEnd::~WindowFrontEnd()
{
    while (m_busyDepth-- > 0)
        QApplication::restoreOverrideCursor();
}

void WindowFrontEnd::showStatus(const QString &text)
{
    m_lastStatus = text;
    if (m_statusPanel)
        m_statusPanel->setText(text);
}

void WindowFrontEnd::showMessage(Icon icon, const QString &text)
{
    // Texts in boxes may quote an agent's reply: never let them be read as rich text.
    QMessageBox box(icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::Information,
                    ApplicationTitle(), text, QMessageBox::Ok, m_owner);
    box.setTextFormat(Qt::PlainText);
    box.setObjectName(QStringLiteral("messageBox"));
    const int depth = m_busyDepth;
    for (int i = 0; i < depth; ++i)
        QApplication::restoreOverrideCursor();
    box.exec();
    for (int i = 0; i < depth; ++i)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void WindowFrontEnd::setBusy(bool busy)
{
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++m_busyDepth;
    } else {
        while (m_busyDepth > 0) {
            QApplication::restoreOverrideCursor();
            --m_busyDepth;
        }
    }
}

QString WindowFrontEnd::chooseFile(const QString &caption, const QString &folder,
                                   const QString &filter, bool save)
{
    const QStringList filters = QtFileFilters(filter);
    if (!save)
        return QFileDialog::getOpenFileName(m_owner, caption, folder, filters.join(u";;"_s));
    // A name typed without extension gets the chosen filter's.
    QFileDialog dialog(m_owner, caption, folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(SuffixOfFilter(filters.value(0)));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString &chosen) { dialog.setDefaultSuffix(SuffixOfFilter(chosen)); });
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}
