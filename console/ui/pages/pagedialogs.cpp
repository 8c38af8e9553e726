#include "console/ui/pages/pagedialogs.h"

#include "common/programfolder.h"
#include "console/frontend.h"

#include <QDialog>
#include <QMessageBox>
#include <QTabWidget>

using namespace Qt::StringLiterals;

PageDialogs::PageDialogs(ConsoleFrontEnd &frontEnd, QString programFolder)
    : m_frontEnd(frontEnd)
    , m_folder(programFolder.isEmpty() ? ProgramFolder::path() : std::move(programFolder))
{
}

void PageDialogs::message(const QString &text, bool notice)
{
    m_frontEnd.showMessage(notice ? ConsoleFrontEnd::Icon::Information : ConsoleFrontEnd::Icon::Exclamation,
                           text);
}

QString PageDialogs::openFile(const QString &caption, const QString &filter)
{
    return m_frontEnd.chooseFile(caption, m_folder, filter, false);
}

QString PageDialogs::saveFile(const QString &caption, const QString &filter)
{
    return m_frontEnd.chooseFile(caption, m_folder, filter, true);
}

void PageDialogs::showStatus(const QString &text)
{
    m_frontEnd.showStatus(text);
}

void PageDialogs::setBusy(bool busy)
{
    m_frontEnd.setBusy(busy);
}

int PageDialogs::runModal(QDialog *dialog)
{
    return dialog->exec();
}

QString PageDialogs::title()
{
    return ApplicationTitle();
}

void focusControl(QWidget *root, const QString &name)
{
    QWidget *control = root->findChild<QWidget *>(name);
    if (!control)
        return;
    // A tab page's parent is the tab widget's stack; the tab widget is one further up.
    for (QWidget *up = control->parentWidget(); up && up != root; up = up->parentWidget()) {
        QWidget *stack = up->parentWidget();
        if (auto *tabs = qobject_cast<QTabWidget *>(stack ? stack->parentWidget() : nullptr);
            tabs && tabs->indexOf(up) >= 0)
            tabs->setCurrentWidget(up);
    }
    control->setFocus();
}

bool PageDialogs::confirm(const QString &text)
{
    QMessageBox box(QMessageBox::Question, title(), text, QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return runModal(&box) == QMessageBox::Yes;
}
