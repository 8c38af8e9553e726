#pragma once

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>

/// Answers the next modal window once it is up: `look` sees it (and may close it itself),
/// then a window still open is closed with Cancel/Escape. Polls the event loop, so that the
/// nested loop of exec() runs it.
inline void whenModalOpens(std::function<void(QWidget *)> look)
{
    auto *poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, look = std::move(look)] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        look(modal);
        if (modal && modal->isVisible()) {
            if (auto *dialog = qobject_cast<QDialog *>(modal.data()))
                dialog->reject();
        }
    });
    poll->start();
}

/// The text of the next message box, which is then closed.
inline void takeMessage(QString *text, QString *title = nullptr)
{
    whenModalOpens([text, title](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            *text = box->text();
            if (title)
                *title = box->windowTitle();
        }
    });
}
