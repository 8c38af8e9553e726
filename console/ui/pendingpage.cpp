#include "console/ui/pendingpage.h"

#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

PendingPage::PendingPage(const QString &frameName, const QString &title, QWidget *parent)
    : QWidget(parent), m_table(new QLabel(this))
{
    setObjectName(frameName);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *frame = new QGroupBox(title, this);
    auto *inner = new QVBoxLayout(frame);
    m_table->setObjectName(frameName + u"Table"_s);
    m_table->setTextFormat(Qt::PlainText);
    inner->addWidget(m_table);
    inner->addStretch();
    layout->addWidget(frame);
}

void PendingPage::setTableLabel(const QString &table)
{
    m_table->setText(u"テーブル名："_s + table);
}
