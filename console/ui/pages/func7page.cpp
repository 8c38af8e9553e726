#include "console/ui/pages/func7page.h"

#include "console/background.h"
#include "console/ui/dialogs/frmdatabase.h"
#include "console/ui/pages/pagedialogs.h"
#include "ui_func7page.h"

using namespace Qt::StringLiterals;

Func7Page::Func7Page(PageDialogs &dialogs, std::function<SqlSettings()> settings, QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::Func7Page>())
    , m_dialogs(dialogs)
    , m_settings(std::move(settings))
{
    m_ui->setupUi(this);
    connect(m_ui->cmdFunc7_0, &QAbstractButton::clicked, this, &Func7Page::connectDatabase);
    connect(m_ui->cmdFunc7_1, &QAbstractButton::clicked, this, &Func7Page::showResult);
    connect(m_ui->cmdFunc7_2, &QAbstractButton::clicked, this, [this] { setAll(true); });
    connect(m_ui->cmdFunc7_3, &QAbstractButton::clicked, this, [this] { setAll(false); });
    connect(m_ui->lvwFunc7Field, &QListWidget::itemChanged, this, &Func7Page::itemChanged);
    showButtons();
}

Func7Page::~Func7Page() = default;

void Func7Page::setTableLabel(const QString &table)
{
    m_ui->lblFunc7Table->setText(table);
}

QString Func7Page::queryText() const
{
    return m_page.QueryText(m_settings().table, m_ui->txtFunc7Where->text());
}

void Func7Page::connectDatabase()
{
    // A server that does not answer holds the connect up to its time-out: the window goes on
    // meanwhile, with the busy pointer and a waiting text, and the button cannot be pressed twice.
    m_ui->cmdFunc7_0->setEnabled(false);
    m_dialogs.setBusy(true);
    m_dialogs.showStatus(u"データベースに接続しています･･･"_s);
    struct Read
    {
        DatabaseOutcome outcome;
        QStringList columns;
    };
    const SqlSettings settings = m_settings();
    RunInBackground<Read>(this, [settings] {
        Read read;
        read.outcome = QueryPage::readColumns(settings, &read.columns);
        return read;
    }, [this](Read read) {
        m_dialogs.setBusy(false);
        m_dialogs.showStatus({});
        showColumns(read.outcome, read.columns);
    });
}

void Func7Page::showColumns(const DatabaseOutcome &outcome, const QStringList &columns)
{
    for (const QString &error : std::as_const(outcome.errors))
        m_dialogs.message(error);
    if (!outcome.ok) {
        showButtons();
        return;
    }
    m_page.takeColumns(columns);
    const QSignalBlocker quiet(m_ui->lvwFunc7Field);
    m_ui->lvwFunc7Field->clear();
    for (const QString &name : m_page.fields()) {
        auto *item = new QListWidgetItem(name, m_ui->lvwFunc7Field);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    showButtons();
}

void Func7Page::itemChanged(QListWidgetItem *item)
{
    m_ui->lvwFunc7Field->setCurrentItem(item);
    m_page.setChecked(m_ui->lvwFunc7Field->row(item), item->checkState() == Qt::Checked);
    showButtons();
}

void Func7Page::setAll(bool checked)
{
    checked ? m_page.checkAll() : m_page.clearAll();
    const QSignalBlocker quiet(m_ui->lvwFunc7Field);
    for (int i = 0; i < m_ui->lvwFunc7Field->count(); ++i)
        m_ui->lvwFunc7Field->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    showButtons();
}

void Func7Page::showResult()
{
    frmDatabase window(m_dialogs, m_settings(), queryText(), this);
    m_dialogs.runModal(&window);
}

void Func7Page::showButtons()
{
    const QueryButtons &buttons = m_page.buttons();
    m_ui->cmdFunc7_0->setEnabled(buttons.connect);
    m_ui->cmdFunc7_1->setEnabled(buttons.list);
    m_ui->cmdFunc7_2->setEnabled(buttons.checkAll);
    m_ui->cmdFunc7_3->setEnabled(buttons.clearAll);
}
