#pragma once

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include <functional>
#include <utility>

/// Runs `work` on a thread of the pool and hands its result to `done` on the event-loop thread,
/// unless `receiver` is gone by then. For blocking calls (a database server that does not
/// answer) that must never stop the window. `work` opens whatever it uses itself: a Qt SQL
/// connection belongs to the thread that opened it.
template <typename Result>
void RunInBackground(QObject *receiver, std::function<Result()> work,
                     std::function<void(Result)> done)
{
    QPointer<QObject> alive(receiver);
    QThreadPool::globalInstance()->start(
        [alive, work = std::move(work), done = std::move(done)]() mutable {
            Result result = work();
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [alive, done = std::move(done), result = std::move(result)]() mutable {
                    if (alive)
                        done(std::move(result));
                },
                Qt::QueuedConnection);
        });
}
