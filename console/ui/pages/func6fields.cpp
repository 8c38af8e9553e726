#include "console/ui/pages/func6fields.h"

#include "console/background.h"
#include "console/settings/definitionlist.h"
#include "console/ui/pages/pagedialogs.h"
#include "ui_func6fields.h"

#include <QEvent>
#include <QStyle>

using namespace Qt::StringLiterals;

Func6Fields::Func6Fields(PageDialogs &dialogs, std::function<SqlSettings()> settings,
                         const DefinitionList &definitions, QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::Func6Fields>())
    , m_dialogs(dialogs)
    , m_settings(std::move(settings))
    , m_definitions(definitions)
{
    m_ui->setupUi(this);
    m_ui->cmdFunc6Field_1->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
    connect(m_ui->cmdFunc6Field_0, &QAbstractButton::clicked, this, &Func6Fields::connectDatabase);
    connect(m_ui->cmdFunc6Field_1, &QAbstractButton::clicked, this,
            [this] { Q_EMIT explanationRequested(u"TarvoControl.mm3"_s); });
    connect(m_ui->lvwFunc6Field, &QTreeWidget::itemClicked, this, &Func6Fields::rowClicked);
    connect(m_ui->cmdFunc6FieldEdit_0, &QAbstractButton::clicked, this, [this] { runEdit(FieldCheck::Edit::Add); });
    connect(m_ui->cmdFunc6FieldEdit_1, &QAbstractButton::clicked, this, [this] { runEdit(FieldCheck::Edit::Change); });
    connect(m_ui->cmdFunc6FieldEdit_2, &QAbstractButton::clicked, this, [this] { runEdit(FieldCheck::Edit::Drop); });
    connect(m_ui->cmdFunc6, &QAbstractButton::clicked, this, &Func6Fields::checkConsistency);
    m_ui->txtFunc6Field->installEventFilter(this);
}

Func6Fields::~Func6Fields() = default;

void Func6Fields::showTable(const QString &table)
{
    m_ui->lblFunc6Table->setText(table);
}

void Func6Fields::connectDatabase()
{
    listColumns([this] {
        m_ui->txtFunc6Field->clear();
        m_ui->txtFunc6Field->setEnabled(true);
        m_ui->cmdFunc6Field_0->setEnabled(false); // later edits refresh the list themselves
        m_ui->cmdFunc6FieldEdit_0->setEnabled(true);
        m_ui->cmdFunc6FieldEdit_1->setEnabled(false);
        m_ui->cmdFunc6FieldEdit_2->setEnabled(false);
    });
}

// Every database operation runs off the window's thread (a server that does not answer holds
// it up to its time-out); meanwhile the page's buttons rest and the busy pointer shows.
void Func6Fields::runDatabaseStep(const QString &waiting, std::function<DatabaseOutcome()> work,
                                  std::function<void(const DatabaseOutcome &)> done)
{
    const QList<QWidget *> buttons{m_ui->cmdFunc6Field_0, m_ui->cmdFunc6FieldEdit_0,
                                   m_ui->cmdFunc6FieldEdit_1, m_ui->cmdFunc6FieldEdit_2,
                                   m_ui->cmdFunc6};
    QList<QWidget *> resting;
    for (QWidget *button : buttons) {
        if (button->isEnabled()) {
            resting.append(button);
            button->setEnabled(false);
        }
    }
    m_dialogs.setBusy(true);
    m_dialogs.showStatus(waiting);
    RunInBackground<DatabaseOutcome>(this, std::move(work),
                                     [this, resting, done = std::move(done)](DatabaseOutcome outcome) {
        m_dialogs.setBusy(false);
        m_dialogs.showStatus({});
        for (QWidget *button : resting)
            button->setEnabled(true);
        done(outcome);
    });
}

void Func6Fields::listColumns(std::function<void()> then)
{
    auto columns = std::make_shared<QStringList>();
    const SqlSettings settings = m_settings();
    runDatabaseStep(u"データベースに接続しています･･･"_s,
                    [settings, columns] { return FieldCheck::listColumns(settings, columns.get()); },
                    [this, columns, then = std::move(then)](const DatabaseOutcome &outcome) {
        if (!outcome.ok) {
            showErrors(outcome);
            return;
        }
        m_ui->lvwFunc6Field->clear();
        for (const QString &name : std::as_const(*columns))
            m_ui->lvwFunc6Field->addTopLevelItem(new QTreeWidgetItem(QStringList{name}));
        if (then)
            then();
    });
}

void Func6Fields::rowClicked()
{
    if (const QTreeWidgetItem *item = m_ui->lvwFunc6Field->currentItem())
        m_ui->txtFunc6Field->setText(item->text(0));
    for (QWidget *button : {m_ui->cmdFunc6FieldEdit_0, m_ui->cmdFunc6FieldEdit_1, m_ui->cmdFunc6FieldEdit_2})
        button->setEnabled(true);
}

void Func6Fields::runEdit(FieldCheck::Edit edit)
{
    const QTreeWidgetItem *selected = m_ui->lvwFunc6Field->currentItem();
    // Dropping a column deletes its values for every PC: only when the user says so.
    if (edit == FieldCheck::Edit::Drop && selected
        && !m_dialogs.confirm(u"項目「%1」を削除すると、すべてのPCのこの項目の値が失われます。削除しますか？"_s
                                  .arg(selected->text(0))))
        return;
    auto refusal = std::make_shared<std::optional<PageRefusal>>();
    const SqlSettings settings = m_settings();
    const QString typed = m_ui->txtFunc6Field->text();
    const QString old = selected ? selected->text(0) : QString();
    runDatabaseStep(u"データベースを更新しています･･･"_s,
                    [settings, edit, typed, old, refusal] {
                        return FieldCheck::edit(settings, edit, typed, old, refusal.get());
                    },
                    [this, refusal](const DatabaseOutcome &outcome) {
        if (*refusal) {
            m_dialogs.message((*refusal)->message);
            focusControl(this, (*refusal)->control);
            return;
        }
        if (!outcome.ok) {
            showErrors(outcome);
            return;
        }
        listColumns([this] { m_ui->txtFunc6Field->clear(); });
    });
}

void Func6Fields::checkConsistency()
{
    const PageMessage result = FieldCheck::consistencyCheck(m_definitions, fieldRows());
    m_dialogs.message(result.text, result.notice);
}

void Func6Fields::showErrors(const DatabaseOutcome &outcome)
{
    for (const QString &error : outcome.errors)
        m_dialogs.message(error);
}

QStringList Func6Fields::fieldRows() const
{
    QStringList rows;
    for (int i = 0; i < m_ui->lvwFunc6Field->topLevelItemCount(); ++i)
        rows.append(m_ui->lvwFunc6Field->topLevelItem(i)->text(0));
    return rows;
}

bool Func6Fields::eventFilter(QObject *watched, QEvent *event)
{
    // A drop always concerns the column just clicked: typing ends that chance.
    if (event->type() == QEvent::FocusIn)
        m_ui->cmdFunc6FieldEdit_2->setEnabled(false);
    return QWidget::eventFilter(watched, event);
}
