#include "console/ui/dialogs/frmhelp.h"

#include "console/frontend.h"
#include "ui_frmhelp.h"

#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

QString frmHelp::guideFileName()
{
    return u"TarvoControl-guide.html"_s;
}

frmHelp::frmHelp(const QString &programFolder, const QIcon &icon, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmHelp>()),
      m_guidePath(QDir(programFolder).filePath(guideFileName()))
{
    m_ui->setupUi(this);
    setWindowTitle(ApplicationTitle() + u"のヘルプ"_s);
    m_ui->picIcon->setPixmap(icon.pixmap(48, 48));
    m_ui->lblExplanation->setText(u"TarvoControl 利用者の手引き（HTMLファイル）を参照ください。"_s);
    m_ui->lblPDF->setText(u"<a href=\"guide\">%1</a>"_s.arg(m_guidePath.toHtmlEscaped()));
    connect(m_ui->lblPDF, &QLabel::linkActivated, this, [this] { openGuide(); });
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

frmHelp::~frmHelp() = default;

bool frmHelp::openGuide() const
{
    // A missing guide or viewer is not reported, as the window never did.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(m_guidePath));
}

void showAboutBox(QWidget *parent)
{
    QMessageBox box(QMessageBox::Information, ApplicationTitle(),
                    u"TarvoControl バージョン %1\n\n"
                    "ネットワーク上のPCのエージェント（TarvoAgent）を操作し、\n"
                    "設定・稼動ログ・ファイルの参照とファイルの配信を行う管理コンソールです。"_s
                        .arg(QStringLiteral(TARVO_VERSION)),
                    QMessageBox::Ok, parent);
    box.setObjectName(u"frmAbout"_s);
    box.setIconPixmap(parent ? parent->windowIcon().pixmap(48, 48) : QPixmap());
    box.exec();
}
