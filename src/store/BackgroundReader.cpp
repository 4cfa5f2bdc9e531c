#include "store/BackgroundReader.h"

#include "store/Database.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QMutexLocker>
#include <QThread>

namespace qvr {

void BackgroundReader::Job::post(std::function<void()> fn)
{
    m_reader->deliver(m_context, std::move(fn));
}

BackgroundReader::BackgroundReader(const QString &path) : m_path(path), m_receiver(new QObject) {}

BackgroundReader::~BackgroundReader()
{
    stop();
    // Results posted to the receiver before still reach their contexts.
    m_receiver->deleteLater();
}

quint64 BackgroundReader::run(QObject *context, Work work, Finished finished)
{
    Entry entry;
    entry.context = context;
    entry.work = std::move(work);
    entry.finished = std::move(finished);
    QMutexLocker lock(&m_mutex);
    entry.ticket = m_nextTicket++;
    const quint64 ticket = entry.ticket;
    if (m_stopping) {
        deliver(entry.context, [f = std::move(entry.finished)] {
            if (f)
                f(Outcome::Failed, QStringLiteral("the database is closed"));
        });
        return ticket;
    }
    m_queue.push_back(std::move(entry));
    if (!m_thread) {
        m_thread = QThread::create([this] { loop(); });
        m_thread->setObjectName(QStringLiteral("qvr background reader"));
        m_thread->start();
    }
    m_wake.wakeOne();
    return ticket;
}

void BackgroundReader::cancel(quint64 ticket)
{
    QMutexLocker lock(&m_mutex);
    if (ticket == m_runningTicket && m_running)
        m_running->store(true);
    for (Entry &e : m_queue) {
        if (e.ticket == ticket)
            e.cancelled->store(true);
    }
}

void BackgroundReader::waitForIdle()
{
    {
        QMutexLocker lock(&m_mutex);
        while (!m_queue.empty() || m_running)
            m_idle.wait(&m_mutex);
    }
    QCoreApplication::sendPostedEvents(m_receiver, QEvent::MetaCall);
}

void BackgroundReader::stop()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopping = true;
        if (m_running)
            m_running->store(true);
        for (Entry &e : m_queue)
            e.cancelled->store(true);
        m_wake.wakeAll();
    }
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
}

void BackgroundReader::deliver(const QPointer<QObject> &context, std::function<void()> fn)
{
    QMetaObject::invokeMethod(
        m_receiver,
        [context, fn = std::move(fn)] {
            if (context)
                fn();
        },
        Qt::QueuedConnection);
}

int BackgroundReader::progress(void *flag)
{
    return static_cast<std::atomic_bool *>(flag)->load() ? 1 : 0;
}

void BackgroundReader::loop()
{
    std::unique_ptr<Database> db;
    for (;;) {
        Entry e;
        {
            QMutexLocker lock(&m_mutex);
            while (m_queue.empty() && !m_stopping)
                m_wake.wait(&m_mutex);
            if (m_queue.empty())
                break;
            e = std::move(m_queue.front());
            m_queue.pop_front();
            m_running = e.cancelled;
            m_runningTicket = e.ticket;
        }
        Outcome outcome = Outcome::Cancelled;
        QString error;
        if (!e.cancelled->load()) {
            if (!db)
                db = Database::open(m_path, QString(), Database::Access::ReadOnly, &error);
            if (!db) {
                outcome = Outcome::Failed;
            } else {
                // A cancel stops the statement in hand within a few thousand steps.
                sqlite3_progress_handler(db->nativeHandle(), 1000, &progress, e.cancelled.get());
                Job job(this, e.context, e.cancelled);
                const bool ok = e.work(*db, job, &error);
                sqlite3_progress_handler(db->nativeHandle(), 0, nullptr, nullptr);
                outcome = e.cancelled->load() ? Outcome::Cancelled
                          : ok                ? Outcome::Done
                                              : Outcome::Failed;
            }
        }
        deliver(e.context, [f = std::move(e.finished), outcome, error] {
            if (f)
                f(outcome, error);
        });
        e = Entry();
        QMutexLocker lock(&m_mutex);
        m_running.reset();
        m_runningTicket = 0;
        if (m_queue.empty())
            m_idle.wakeAll();
    }
    if (db)
        db->close();
    QMutexLocker lock(&m_mutex);
    m_idle.wakeAll();
}

} // namespace qvr
