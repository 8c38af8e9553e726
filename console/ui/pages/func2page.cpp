#include "console/ui/pages/func2page.h"

#include "console/batch/resultlist.h"
#include "console/ui/pages/pagecontext.h"
#include "net/frame.h"
#include "ui_func2page.h"

Func2Page::Func2Page(ResultList &results, const NetworkTree &tree, QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::Func2Page>()),
      m_targets(tree, results, [this](bool enabled) { setTargetsEnabled(enabled); })
{
    m_ui->setupUi(this);
    m_ui->lvwFunc2Result->setModel(&results);
    QStringList sizing;
    for (const ResultList::Column &column : results.columns())
        sizing.append(column.sizingText);
    sizeColumns(*m_ui->lvwFunc2Result, sizing);
    const QList<QPushButton *> buttons{m_ui->cmdFunc20_0, m_ui->cmdFunc20_1, m_ui->cmdFunc20_2};
    const Frame::Code codes[] = {Frame::RestartAgent, Frame::RunCollector, Frame::TerminateAgent};
    for (int i = 0; i < buttons.size(); ++i) {
        connect(buttons.at(i), &QPushButton::clicked, this, [this, code = codes[i]] {
            // The command frame stays disabled until a computer is newly ticked.
            m_ui->frameFunc20->setEnabled(false);
            Q_EMIT batchRequested(code);
        });
    }
    connect(m_ui->cmdFunc2_0, &QPushButton::clicked, this, &Func2Page::exportRequested);
    connect(m_ui->cmdFunc2_1, &QPushButton::clicked, this, [this] {
        m_ui->cmdFunc2_1->setEnabled(false); // once per run
        Q_EMIT queueRequested();
    });
    setTargetsEnabled(false); // until computers are ticked
}

void Func2Page::setQueueEnabled(bool enabled)
{
    m_ui->cmdFunc2_1->setEnabled(enabled);
}

Func2Page::~Func2Page() = default;

void Func2Page::setTargetsEnabled(bool enabled)
{
    setEnabled(enabled);
    m_ui->frameFunc20->setEnabled(enabled);
}
