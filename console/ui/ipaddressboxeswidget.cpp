#include "console/ui/ipaddressboxeswidget.h"

#include "console/ipaddressboxes.h"
#include "ui_ipaddressboxeswidget.h"

#include <QKeyEvent>
#include <QTimer>

IpAddressBoxesWidget::IpAddressBoxesWidget(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::IpAddressBoxesWidget>())
{
    m_ui->setupUi(this);
    m_boxes = {m_ui->txtIPAddress_0, m_ui->txtIPAddress_1, m_ui->txtIPAddress_2,
               m_ui->txtIPAddress_3};
    for (int i = 0; i < m_boxes.size(); ++i) {
        m_boxes.at(i)->installEventFilter(this);
        connect(m_boxes.at(i), &QLineEdit::textEdited, this, [this, i] { onEdited(i); });
    }
}

IpAddressBoxesWidget::~IpAddressBoxesWidget() = default;

QStringList IpAddressBoxesWidget::texts() const
{
    QStringList texts;
    for (const QLineEdit *box : m_boxes)
        texts.append(box->text());
    return texts;
}

void IpAddressBoxesWidget::setBoxPalette(const QPalette &palette)
{
    for (QLineEdit *box : m_boxes)
        box->setPalette(palette);
}

void IpAddressBoxesWidget::onEdited(int box)
{
    QLineEdit *edit = m_boxes.at(box);
    const QString clamped = IpAddressBoxes::clampBox(edit->text());
    if (clamped != edit->text()) {
        edit->setText(clamped);
        edit->setCursorPosition(3);
    }
    Q_EMIT edited(texts());
}

bool IpAddressBoxesWidget::onKey(int box, QKeyEvent *event)
{
    const QString typed = event->text();
    if (typed.size() != 1 || event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab
        || event->matches(QKeySequence::SelectAll) || event->matches(QKeySequence::Copy))
        return false; // arrows, Tab, select-all, copy and keys without a character as usual
    switch (IpAddressBoxes::keyAction(box, typed.front())) {
    case IpAddressBoxes::KeyAction::Accept:
        return false;
    case IpAddressBoxes::KeyAction::DiscardAndNextBox:
        m_boxes.at(box + 1)->setFocus();
        return true;
    case IpAddressBoxes::KeyAction::Discard:
        return true;
    }
    return true;
}

bool IpAddressBoxesWidget::eventFilter(QObject *watched, QEvent *event)
{
    const int box = m_boxes.indexOf(qobject_cast<QLineEdit *>(watched));
    if (box >= 0 && event->type() == QEvent::KeyPress)
        return onKey(box, static_cast<QKeyEvent *>(event));
    if (box >= 0 && event->type() == QEvent::FocusIn) {
        Q_EMIT focused();
        onEdited(box);
        // A click selects the box's number, as Tab does, so that typing replaces it.
        QTimer::singleShot(0, m_boxes.at(box), &QLineEdit::selectAll);
    }
    return QWidget::eventFilter(watched, event);
}
