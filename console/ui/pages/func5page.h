#pragma once

#include "console/ui/pages/consolepage.h"
#include "console/ui/pages/tickedtargets.h"

#include <QWidget>

#include <memory>

class ConsoleFrontEnd;
class NetworkTree;
class QFileSystemModel;
class ResultList;

namespace Ui {
class Func5Page;
}

/// Page 5: a file chosen on this computer distributed to the ticked computers.
class Func5Page : public QWidget, public ConsolePage
{
    Q_OBJECT
public:
    /// `results` lists the ticked computers of `tree`.
    Func5Page(ResultList &results, const NetworkTree &tree, ConsoleFrontEnd &frontEnd,
              const QString &startFolder, QWidget *parent = nullptr);
    ~Func5Page() override;

    void pageShown() override { m_targets.refill(); }
    void ticksChanged(const QStringList &keys) override { m_targets.apply(keys); }

    /// `frameFunc50` (the file choice) and the three distribution buttons, enabled together.
    void setDistributionEnabled(bool enabled);
    /// The folder shown in `Dir1`; the full path of the file the user chose in `File1` ("" when
    /// none). A refresh of the list never changes the choice: a chosen file that is gone clears it.
    QString folder() const;
    QString chosenFile() const { return m_chosen; }
    /// Shows `folder` and chooses `fileName` in it (as the user would).
    void chooseFile(const QString &folder, const QString &fileName);

    /// The queue button: enabled after a run that left computers unreachable.
    void setQueueEnabled(bool enabled);

Q_SIGNALS:
    /// A distribution: `code` 500, 510 or 520 with the file's full path.
    void batchRequested(int code, const QString &filePath);
    void exportRequested();
    /// "未到達のPCを再試行キューへ": the unreachable computers of the last run go to the queue.
    void queueRequested();

private:
    void fillDrives(const QString &startFolder);
    void setFolder(const QString &folder);
    void pressed(int index);
    void setButtonsEnabled(bool enabled);
    void takeChoice();
    void keepChoice();
    /// The page, the file choice and the distribution buttons.
    void setTargetsEnabled(bool enabled);

    std::unique_ptr<Ui::Func5Page> m_ui;
    ConsoleFrontEnd &m_frontEnd;
    QFileSystemModel *m_folders;
    QFileSystemModel *m_files;
    QString m_chosen;
    bool m_listChanging = false;
    TickedTargets m_targets;
};
