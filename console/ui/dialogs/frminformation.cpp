#include "console/ui/dialogs/frminformation.h"

#include "console/settings/consolesettings.h"
#include "console/frontend.h"
#include "console/ui/pages/pagecontext.h"
#include "ui_frminformation.h"

#include <QApplication>

using namespace Qt::Literals::StringLiterals;

frmInformation::frmInformation(const QString &folder, const QString &file, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmInformation>())
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_ui->setupUi(this);
    useTextFont(*m_ui->txtInformation);
    setWindowTitle(ApplicationTitle() + u" - 解説"_s);
    m_ui->txtInformation->setPlainText(Explanation::read(folder, file));
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    QApplication::restoreOverrideCursor();
}

frmInformation::~frmInformation() = default;

QString frmInformation::text() const
{
    return m_ui->txtInformation->toPlainText();
}
