#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmInformation;
}

/// Shows one of the explanation files of the console folder (TarvoControl.mm1 to .mm3).
class frmInformation : public QDialog
{
    Q_OBJECT
public:
    frmInformation(const QString &folder, const QString &file, QWidget *parent = nullptr);
    ~frmInformation() override;
    QString text() const;

private:
    std::unique_ptr<Ui::frmInformation> m_ui;
};
