#include "console/ui/dialogs/frmdatabase.h"

#include "console/background.h"
#include "console/ui/pages/pagedialogs.h"
#include "ui_frmdatabase.h"

#include <QHeaderView>

using namespace Qt::StringLiterals;

frmDatabase::frmDatabase(PageDialogs &dialogs, const SqlSettings &settings, const QString &queryText,
                         QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::frmDatabase>())
    , m_dialogs(dialogs)
    , m_settings(settings)
    , m_queryText(queryText)
{
    m_ui->setupUi(this);
    setWindowTitle(PageDialogs::title() + u" - DB参照"_s);
    m_ui->txtSQL->setPlainText(queryText);
    m_ui->Adodc1->setText(settings.table);
    m_ui->dgdData->setModel(&m_rows);
    m_ui->dgdData->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // Column widths from the first rows only: measuring every fetched cell delays the first picture.
    m_ui->dgdData->horizontalHeader()->setResizeContentsPrecision(20);
    connect(m_ui->cmdButton_0, &QAbstractButton::clicked, this, &frmDatabase::refresh);
    connect(m_ui->cmdButton_1, &QAbstractButton::clicked, this, &frmDatabase::saveCsv);
    connect(m_ui->cmdButton_2, &QAbstractButton::clicked, this, &QDialog::accept);
    resize(760, 480);
    refresh();
}

frmDatabase::~frmDatabase() = default;

void frmDatabase::setBusy(bool busy, const QString &waiting)
{
    m_busy = busy;
    for (QWidget *button : {m_ui->cmdButton_0, m_ui->cmdButton_1})
        button->setEnabled(!busy);
    m_dialogs.setBusy(busy);
    m_dialogs.showStatus(waiting);
}

void frmDatabase::refresh()
{
    if (m_busy)
        return;
    setBusy(true, u"データベースに問い合わせています･･･"_s);
    struct Fetched
    {
        std::optional<QueryTable> table;
        DatabaseOutcome outcome;
    };
    const SqlSettings settings = m_settings;
    const QString queryText = m_queryText;
    RunInBackground<Fetched>(this, [settings, queryText] {
        Fetched fetched;
        fetched.table = QueryResult::fetchAll(settings, queryText, &fetched.outcome);
        return fetched;
    }, [this](Fetched fetched) {
        setBusy(false);
        showTable(fetched.table.value_or(QueryTable{}));
        // A refused statement: the database's own words, and the grid stays empty.
        for (const QString &error : std::as_const(fetched.outcome.errors))
            m_dialogs.message(error);
    });
}

void frmDatabase::showTable(const QueryTable &table)
{
    m_rows.clear();
    m_rows.setHorizontalHeaderLabels(table.columns);
    for (const QVariantList &values : table.rows) {
        QList<QStandardItem *> row;
        row.reserve(values.size());
        for (const QVariant &value : values) {
            auto *item = new QStandardItem;
            item->setData(value, Qt::DisplayRole);
            item->setEditable(false);
            row.append(item);
        }
        m_rows.appendRow(row);
    }
    m_ui->dgdData->resizeColumnsToContents();
}

void frmDatabase::saveCsv()
{
    if (m_busy)
        return;
    const QString path = m_dialogs.saveFile(u"CSVファイルに保存"_s,
                                            u"CSVﾌｧｲﾙ (*.csv)|*.csv|すべてのﾌｧｲﾙ (*.*)|*.*"_s);
    if (path.isEmpty())
        return;
    setBusy(true, u"CSVファイルに保存しています･･･"_s);
    const SqlSettings settings = m_settings;
    const QString queryText = m_queryText;
    // The statement runs again on a connection of the save's own, so that every record is
    // written whatever the grid holds.
    RunInBackground<CsvSaveResult>(this, [settings, queryText, path] {
        return QueryResult(settings, queryText).save(path);
    }, [this](CsvSaveResult saved) {
        setBusy(false);
        if (!saved.ok) {
            m_dialogs.message(saved.error);
            return;
        }
        // Characters the file's code page cannot hold became "?": say so rather than change
        // data quietly.
        if (saved.unrepresentable > 0)
            m_dialogs.message(QString::number(saved.unrepresentable)
                                  + u" 件の値にShift-JISで表せない文字があり、「?」で保存しました。"_s,
                              true);
    });
}
