#include "console/ui/dialogs/frmfileview.h"

#include "console/frontend.h"
#include "console/ui/pages/pagecontext.h"
#include "ui_frmfileview.h"

using namespace Qt::Literals::StringLiterals;

frmFileView::frmFileView(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmFileView>())
{
    m_ui->setupUi(this);
    useTextFont(*m_ui->rtfFileView);
    setModal(false);
    // Names from an agent are shown as they are, never as markup.
    m_ui->lblComputerName->setTextFormat(Qt::PlainText);
    m_ui->lblFileName->setTextFormat(Qt::PlainText);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::close);
}

frmFileView::~frmFileView() = default;

void frmFileView::showFile(const QString &host, const QString &fileName, const QString &body)
{
    setWindowTitle(ApplicationTitle() + u" - "_s + fileName.trimmed());
    m_ui->lblComputerName->setText(host);
    m_ui->lblFileName->setText(fileName.trimmed());
    m_ui->rtfFileView->setPlainText(body);
    show();
    raise();
}

QString frmFileView::text() const
{
    return m_ui->rtfFileView->toPlainText();
}
