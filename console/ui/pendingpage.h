#pragma once

#include <QWidget>

class QLabel;

/// A page frame whose contents come later (pages 6 and 7): its frame name and its table label,
/// which shows the database table the page will work on.
class PendingPage : public QWidget
{
    Q_OBJECT
public:
    PendingPage(const QString &frameName, const QString &title, QWidget *parent = nullptr);
    void setTableLabel(const QString &table);

private:
    QLabel *m_table;
};
