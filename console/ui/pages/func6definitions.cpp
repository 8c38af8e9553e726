#include "console/ui/pages/func6definitions.h"

#include "console/ui/pages/pagedialogs.h"
#include "ui_func6definitions.h"

#include <QEvent>
#include <QStyle>

using namespace Qt::StringLiterals;

Func6Definitions::Func6Definitions(PageDialogs &dialogs, QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::Func6Definitions>())
    , m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    m_ui->cmdFunc6Dat_0->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    m_ui->cmdFunc6Dat_1->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
    m_ui->lvwFunc6Dat->header()->setStretchLastSection(true);
    m_ui->lvwFunc6Dat->setColumnWidth(0, 170);
    m_ui->lvwFunc6Dat->setColumnWidth(1, 30);
    m_ui->lvwFunc6Dat->setColumnWidth(2, 150);
    m_ui->lvwFunc6Dat->setColumnWidth(3, 170);

    connect(m_ui->cmdFunc6Dat_0, &QAbstractButton::clicked, this, &Func6Definitions::chooseFile);
    connect(m_ui->cmdFunc6Dat_1, &QAbstractButton::clicked, this,
            [this] { Q_EMIT explanationRequested(u"TarvoControl.mm1"_s); });
    connect(m_ui->lvwFunc6Dat, &QTreeWidget::itemClicked, this, &Func6Definitions::rowClicked);
    connect(m_ui->cmdFunc6DatEdit_0, &QAbstractButton::clicked, this, [this] { runEdit(DefinitionList::Edit::Add); });
    connect(m_ui->cmdFunc6DatEdit_1, &QAbstractButton::clicked, this, [this] { runEdit(DefinitionList::Edit::Change); });
    connect(m_ui->cmdFunc6DatEdit_2, &QAbstractButton::clicked, this, [this] { runEdit(DefinitionList::Edit::Remove); });
    for (QWidget *field : {static_cast<QWidget *>(m_ui->txtFunc6DatKey), static_cast<QWidget *>(m_ui->comboFunc6DatID),
                           static_cast<QWidget *>(m_ui->txtFunc6DatReg1), static_cast<QWidget *>(m_ui->txtFunc6DatReg2),
                           static_cast<QWidget *>(m_ui->txtFunc6DatReg3)})
        field->installEventFilter(this);
}

Func6Definitions::~Func6Definitions() = default;

void Func6Definitions::chooseFile()
{
    const QString path = m_dialogs.openFile(u"TarvoInfo.datファイルを開く..."_s,
                                            u"TarvoInfo.datﾌｧｲﾙ (TarvoInfo.dat)|TarvoInfo.dat"_s);
    if (!path.isEmpty())
        openFile(path);
}

void Func6Definitions::openFile(const QString &path)
{
    QString error;
    if (!m_list.open(path, &error))
        m_dialogs.message(error);
    m_ui->lblFunc6DatFile->setText(path);
    fillList();
    if (QTreeWidgetItem *first = m_ui->lvwFunc6Dat->topLevelItem(0)) {
        m_ui->lvwFunc6Dat->setCurrentItem(first);
        m_ui->lvwFunc6Dat->scrollToItem(first);
    }
    showFields({});
    showButtons();
    m_ui->lvwFunc6Dat->setFocus();
}

void Func6Definitions::fillList()
{
    m_ui->lvwFunc6Dat->clear();
    QList<QTreeWidgetItem *> items;
    for (const DefinitionRow &row : m_list.rows())
        items.append(new QTreeWidgetItem(QStringList{row.text, row.id, row.reg1, row.reg2, row.reg3}));
    m_ui->lvwFunc6Dat->addTopLevelItems(items);
    m_ui->lvwFunc6Dat->setCurrentItem(nullptr);
    m_ui->lvwFunc6Dat->clearSelection();
}

void Func6Definitions::rowClicked()
{
    const int row = m_ui->lvwFunc6Dat->indexOfTopLevelItem(m_ui->lvwFunc6Dat->currentItem());
    showFields(m_list.click(row));
    showButtons();
    if (m_list.rows().value(row).isSection())
        m_ui->txtFunc6DatKey->setFocus();
}

void Func6Definitions::runEdit(DefinitionList::Edit edit)
{
    QString error;
    if (const auto refusal = m_list.edit(edit, fields(), &error)) {
        m_dialogs.message(refusal->message);
        focusControl(this, refusal->control);
        return;
    }
    if (!error.isEmpty())
        m_dialogs.message(error);
    fillList();
    showFields({});
    showButtons();
    m_ui->lvwFunc6Dat->setFocus();
}

void Func6Definitions::showFields(const DefinitionFields &fields)
{
    m_ui->txtFunc6DatKey->setText(fields.key);
    m_ui->comboFunc6DatID->setCurrentText(fields.id);
    m_ui->txtFunc6DatReg1->setText(fields.reg1);
    m_ui->txtFunc6DatReg2->setText(fields.reg2);
    m_ui->txtFunc6DatReg3->setText(fields.reg3);
}

DefinitionFields Func6Definitions::fields() const
{
    return {m_ui->txtFunc6DatKey->text(), m_ui->comboFunc6DatID->currentText(), m_ui->txtFunc6DatReg1->text(),
            m_ui->txtFunc6DatReg2->text(), m_ui->txtFunc6DatReg3->text()};
}

void Func6Definitions::showButtons()
{
    const DefinitionButtons &buttons = m_list.buttons();
    m_ui->cmdFunc6DatEdit_0->setEnabled(buttons.add);
    m_ui->cmdFunc6DatEdit_1->setEnabled(buttons.change);
    m_ui->cmdFunc6DatEdit_2->setEnabled(buttons.remove);
    for (QWidget *field : {static_cast<QWidget *>(m_ui->txtFunc6DatKey), static_cast<QWidget *>(m_ui->comboFunc6DatID),
                           static_cast<QWidget *>(m_ui->txtFunc6DatReg1), static_cast<QWidget *>(m_ui->txtFunc6DatReg2),
                           static_cast<QWidget *>(m_ui->txtFunc6DatReg3)})
        field->setEnabled(buttons.fields);
}

bool Func6Definitions::eventFilter(QObject *watched, QEvent *event)
{
    // Entering a field ends the chance to delete: a delete concerns the row just clicked.
    if (event->type() == QEvent::FocusIn) {
        m_list.fieldFocused();
        m_ui->cmdFunc6DatEdit_2->setEnabled(false);
    }
    return QWidget::eventFilter(watched, event);
}
