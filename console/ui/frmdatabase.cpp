#include "console/ui/frmdatabase.h"

#include "console/ui/pagedialogs.h"
#include "ui_frmdatabase.h"

#include <QHeaderView>

using namespace Qt::StringLiterals;

frmDatabase::frmDatabase(PageDialogs &dialogs, const SqlSettings &settings, const QString &queryText,
                         QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::frmDatabase>())
    , m_dialogs(dialogs)
    , m_result(settings, queryText)
{
    ui->setupUi(this);
    setWindowTitle(PageDialogs::title() + u" - DB参照"_s);
    ui->txtSQL->setPlainText(queryText);
    ui->Adodc1->setText(settings.table);
    ui->dgdData->setModel(m_result.model());
    ui->dgdData->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // Column widths from the first rows only: measuring every fetched cell delays the first picture.
    ui->dgdData->horizontalHeader()->setResizeContentsPrecision(20);
    connect(ui->cmdButton_0, &QAbstractButton::clicked, this, &frmDatabase::refresh);
    connect(ui->cmdButton_1, &QAbstractButton::clicked, this, &frmDatabase::saveCsv);
    connect(ui->cmdButton_2, &QAbstractButton::clicked, this, &QDialog::accept);
    resize(760, 480);
    refresh();
}

frmDatabase::~frmDatabase() = default;

void frmDatabase::refresh()
{
    DatabaseOutcome outcome;
    {
        BusyPointer busy(m_dialogs);
        outcome = m_result.run();
    }
    // Sized by the rows fetched so far: the grid fetches the rest only when they are scrolled to.
    ui->dgdData->resizeColumnsToContents();
    // A refused statement: the database's own words, and the grid stays empty.
    for (const QString &error : std::as_const(outcome.errors))
        m_dialogs.message(error);
}

void frmDatabase::saveCsv()
{
    const QString path = m_dialogs.saveFile(u"CSVファイルに保存"_s,
                                            u"CSVﾌｧｲﾙ (*.csv)|*.csv|すべてのﾌｧｲﾙ (*.*)|*.*"_s);
    if (path.isEmpty())
        return;
    CsvSaveResult saved;
    {
        BusyPointer busy(m_dialogs);
        saved = m_result.save(path);
    }
    if (!saved.ok) {
        m_dialogs.message(saved.error);
        return;
    }
    // Characters the file's code page cannot hold became "?": say so rather than change data quietly.
    if (saved.unrepresentable > 0)
        m_dialogs.message(QString::number(saved.unrepresentable)
                                    + u" 件の値にShift-JISで表せない文字があり、「?」で保存しました。"_s, true);
}
