#include "console/ui/pages/func1page.h"

#include "console/connection/agentconnection.h"
#include "console/network/consoletargets.h"
#include "console/frontend.h"
#include "console/settings/parametermodel.h"
#include "console/ui/pages/pagecontext.h"
#include "ui_func1page.h"

using namespace Qt::Literals::StringLiterals;

Func1Page::Func1Page(PageContext &context, QWidget *parent)
    : QWidget(parent), m_context(context), m_ui(std::make_unique<Ui::Func1Page>()),
      m_parameters(new ParameterEditModel(this))
{
    m_ui->setupUi(this);
    m_ui->lvwFunc1Parameter->setModel(m_parameters);
    sizeColumns(*m_ui->lvwFunc1Parameter,
                {u"変更"_s + QString(4, u' '), u"キー"_s + QString(24, u' '),
                 u"値"_s + QString(65, u' ')});
    const QList<QPushButton *> remote{m_ui->cmdFunc10_0, m_ui->cmdFunc10_1, m_ui->cmdFunc10_2};
    const Frame::Code codes[] = {Frame::RestartAgent, Frame::RunCollector, Frame::TerminateAgent};
    for (int i = 0; i < remote.size(); ++i)
        connect(remote.at(i), &QPushButton::clicked, this, [this, code = codes[i]] { send(code, {}); });
    connect(m_ui->cmdFunc11_0, &QPushButton::clicked, this, &Func1Page::fetch);
    connect(m_ui->cmdFunc11_1, &QPushButton::clicked, this, &Func1Page::update);
    connect(m_ui->cmdFunc1Edit, &QPushButton::clicked, this, &Func1Page::confirmEdit);
    connect(&context.connection, &AgentConnection::ShowParameters, this,
            &Func1Page::showParameters);
    connect(m_ui->lvwFunc1Parameter, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { showRow(index.row(), true); });
    connect(m_ui->lvwFunc1Parameter->selectionModel(), &QItemSelectionModel::currentRowChanged,
            this, [this](const QModelIndex &index) { showRow(index.row(), false); });
    m_ui->txtParmKey->setFocusPolicy(Qt::NoFocus); // the key box never keeps the focus
    m_ui->cmdFunc1Edit->setEnabled(false);
}

Func1Page::~Func1Page() = default;

void Func1Page::targetChosen(bool chosen)
{
    m_ui->frameFunc10->setEnabled(chosen);
    m_ui->frameFunc11->setEnabled(chosen);
}

void Func1Page::send(Frame::Code code, const QString &data)
{
    m_context.connection.SendCommand(m_context.targets.targetHost(), code, data);
}

void Func1Page::fetch()
{
    m_ui->cmdFunc11_0->setEnabled(false);
    m_ui->cmdFunc11_1->setEnabled(false);
    m_parameters->clear();
    send(Frame::GetParameters, {});
    m_ui->lvwFunc1Parameter->setFocus();
    m_ui->cmdFunc11_0->setEnabled(true);
    m_ui->cmdFunc11_1->setEnabled(true);
}

void Func1Page::update()
{
    m_ui->cmdFunc11_0->setEnabled(false);
    m_ui->cmdFunc11_1->setEnabled(false);
    send(Frame::UpdateParameters, m_parameters->updateData());
    m_ui->lvwFunc1Parameter->setFocus();
    m_ui->cmdFunc11_0->setEnabled(true);
    m_ui->cmdFunc11_1->setEnabled(true);
}

void Func1Page::showParameters(const QString &body)
{
    m_parameters->load(body);
    if (m_parameters->rowCount() > 0) {
        const QModelIndex first = m_parameters->index(0, 0);
        m_ui->lvwFunc1Parameter->setCurrentIndex(first);
        m_ui->lvwFunc1Parameter->scrollTo(first);
    }
}

void Func1Page::showRow(int row, bool changeStates)
{
    const ParameterEditModel::Selection selection = m_parameters->select(row);
    if (changeStates) {
        m_ui->cmdFunc1Edit->setEnabled(selection.editable);
        m_ui->txtParmValue->setReadOnly(!selection.editable);
        // A locked box takes the menu colour, as a section row cannot be edited.
        QPalette palette = m_ui->txtParmKey->palette();
        if (!selection.editable)
            palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        m_ui->txtParmValue->setPalette(palette);
    }
    m_ui->txtParmKey->setText(selection.key);
    m_ui->txtParmValue->setText(selection.value);
}

void Func1Page::confirmEdit()
{
    const int row = m_ui->lvwFunc1Parameter->currentIndex().row();
    QString refusal;
    m_parameters->confirmEdit(row, m_ui->txtParmKey->text(), m_ui->txtParmValue->text(), &refusal);
    if (!refusal.isEmpty()) {
        m_context.frontEnd.showMessage(ConsoleFrontEnd::Icon::Exclamation, refusal);
        m_ui->txtParmValue->setFocus();
    }
}
