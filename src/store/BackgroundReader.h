#pragma once

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWaitCondition>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>

class QThread;

namespace qvr {

class Database;

// Reading work on a thread of its own, with its own read-only connection to a database
// file, so the thread that asks (the window's) never waits for a long query. Connections
// are never shared between threads: the work gets the reader's own Database, and results
// come back as functions run on the asking thread. Jobs run one after the other, in the
// order they were queued.
class BackgroundReader
{
public:
    enum class Outcome { Done, Failed, Cancelled };

    // What a running job may do besides its work.
    class Job
    {
    public:
        bool cancelled() const { return m_cancelled->load(); }
        // Runs `fn` on the asking thread (before the job's end is reported there).
        void post(std::function<void()> fn);

    private:
        friend class BackgroundReader;
        Job(BackgroundReader *reader, QPointer<QObject> context,
            std::shared_ptr<std::atomic_bool> cancelled)
            : m_reader(reader), m_context(std::move(context)), m_cancelled(std::move(cancelled))
        {
        }
        BackgroundReader *m_reader;
        QPointer<QObject> m_context;
        std::shared_ptr<std::atomic_bool> m_cancelled;
    };

    // The work: false with an error text when it fails. A statement of a cancelled job
    // stops at its next step (and the work then fails).
    using Work = std::function<bool(Database &db, Job &job, QString *error)>;
    using Finished = std::function<void(Outcome outcome, const QString &error)>;

    // Created on the asking thread; `path` is the database file.
    explicit BackgroundReader(const QString &path);
    ~BackgroundReader();
    BackgroundReader(const BackgroundReader &) = delete;
    BackgroundReader &operator=(const BackgroundReader &) = delete;

    // Queues `work`. `finished` then runs on the asking thread with the outcome (also for a
    // job cancelled before or while it ran). Nothing of a job runs there once `context` is
    // gone. Returns the job's ticket.
    quint64 run(QObject *context, Work work, Finished finished);
    // Cancels a queued or running job.
    void cancel(quint64 ticket);
    // Waits until every job queued so far has ended, then runs what they handed back, so a
    // caller that needs a result now has it (blocks the asking thread meanwhile).
    void waitForIdle();
    // Cancels every job, waits for the running one to stop and closes the connection.
    // Later jobs fail at once.
    void stop();

private:
    struct Entry
    {
        quint64 ticket = 0;
        QPointer<QObject> context;
        Work work;
        Finished finished;
        std::shared_ptr<std::atomic_bool> cancelled = std::make_shared<std::atomic_bool>(false);
    };
    void loop();
    void deliver(const QPointer<QObject> &context, std::function<void()> fn);
    static int progress(void *flag);

    const QString m_path;
    // Lives on the asking thread; results are posted to it and run there while their
    // context still exists.
    QObject *m_receiver;
    QThread *m_thread = nullptr;
    QMutex m_mutex;
    QWaitCondition m_wake;
    QWaitCondition m_idle;
    std::deque<Entry> m_queue;
    std::shared_ptr<std::atomic_bool> m_running; // cancel flag of the job in hand
    quint64 m_runningTicket = 0;
    quint64 m_nextTicket = 1;
    bool m_stopping = false;
};

} // namespace qvr
