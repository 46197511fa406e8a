#pragma once

#include <QMetaObject>
#include <QMutex>
#include <QVector>
#include <QObject>
#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace pantrio
{

// Hands work from the server's threads to the thread that owns the open file
// (the program's) and waits for its result. The asker stops waiting when
// sharing stops or its time runs out: work not begun then never runs, and
// work already running (a question to the user) finishes with nobody reading
// its result; it can ask whether that happened. So stopping never waits for
// the program's thread, and no work ever touches an asker that has gone.
class DesktopBridge
{
  public:
    explicit DesktopBridge(QObject *owner) : m_owner(owner) {}
    void setStopping(bool stopping) { m_stopping = stopping; }

    class Job
    {
      public:
        // The asker stopped waiting: what the work does is no longer answered.
        bool abandoned() const { return m_state->load() == kGivenUp; }

      private:
        friend class DesktopBridge;
        Job(std::shared_ptr<void> keep, const std::atomic<int> *state)
            : m_keep(std::move(keep)), m_state(state)
        {
        }
        std::shared_ptr<void> m_keep;
        const std::atomic<int> *m_state;
    };

  private:
    template <typename R>
    struct Ticket {
        std::atomic<int> state{kWaiting};
        QSemaphore done;
        std::optional<R> result;
        virtual ~Ticket() = default;
        // Whether the work is still wanted: then it runs, and is no longer given up.
        bool start()
        {
            int waiting = kWaiting;
            return state.compare_exchange_strong(waiting, kRunning);
        }
        void finish(R r)
        {
            int running = kRunning;
            if (state.compare_exchange_strong(running, kFinished)) {
                result = std::move(r);
                done.release();
            }
        }
    };

  public:
    // Nothing when sharing stopped or timeoutMs (0: no limit) passed first.
    // work must own what it uses (capture by value): it may outlive the call.
    template <typename R>
    std::optional<R> call(std::function<R(const Job &)> work, int timeoutMs = 0)
    {
        auto ticket = std::make_shared<Ticket<R>>();
        if (QThread::currentThread() == m_owner->thread()) {
            ticket->state.store(kRunning);
            return work(Job(ticket, &ticket->state));
        }
        QMetaObject::invokeMethod(
            m_owner,
            [ticket, work = std::move(work)] {
                if (ticket->start())
                    ticket->finish(work(Job(ticket, &ticket->state)));
            },
            Qt::QueuedConnection);
        return wait(*ticket, timeoutMs);
    }

    // Work of one kind asked for from several threads, run together once
    // per turn of the program's loop (what arrives while it runs waits for
    // the next): work gets every item still waited for, in the order asked,
    // and answers each. Created on the owner's thread, outlived by the owner.
    template <typename Item, typename R>
    class Gathered
    {
      public:
        using Work = std::function<QVector<R>(const QVector<Item> &)>;
        Gathered(DesktopBridge &bridge, Work work) : m_bridge(bridge), m_work(std::move(work)) {}

        std::optional<R> call(Item item, int timeoutMs = 0)
        {
            if (QThread::currentThread() == m_bridge.m_owner->thread())
                return m_work({std::move(item)}).value(0);
            auto ticket = std::make_shared<Asked>();
            ticket->item = std::move(item);
            {
                QMutexLocker lock(&m_mutex);
                m_asked.append(ticket);
                if (!m_posted) {
                    m_posted = true;
                    QMetaObject::invokeMethod(
                        m_bridge.m_owner, [this] { runAll(); }, Qt::QueuedConnection);
                }
            }
            return m_bridge.wait(*ticket, timeoutMs);
        }

      private:
        struct Asked : Ticket<R> {
            Item item;
        };
        void runAll()
        {
            QVector<std::shared_ptr<Asked>> asked;
            {
                QMutexLocker lock(&m_mutex);
                asked.swap(m_asked);
                m_posted = false;
            }
            QVector<Item> items;
            QVector<std::shared_ptr<Asked>> running;
            for (const auto &a : std::as_const(asked))
                if (a->start()) {
                    items.append(a->item);
                    running.append(a);
                }
            if (items.isEmpty())
                return;
            QVector<R> results = m_work(items);
            for (qsizetype i = 0; i < running.size(); ++i)
                running[i]->finish(results.value(i));
        }

        DesktopBridge &m_bridge;
        Work m_work;
        QMutex m_mutex;
        QVector<std::shared_ptr<Asked>> m_asked;
        bool m_posted = false;
    };

  private:
    template <typename R>
    std::optional<R> wait(Ticket<R> &ticket, int timeoutMs)
    {
        const auto started = std::chrono::steady_clock::now();
        for (;;) {
            if (ticket.done.tryAcquire(1, 50))
                return std::move(ticket.result);
            const bool late = timeoutMs > 0 && std::chrono::steady_clock::now() - started >
                                                   std::chrono::milliseconds(timeoutMs);
            if (!m_stopping && !late)
                continue;
            // Given up, whether it waits or runs; unless it just finished.
            int seen = ticket.state.load();
            while (seen != kFinished && !ticket.state.compare_exchange_weak(seen, kGivenUp)) {
            }
            if (seen == kFinished) {
                ticket.done.acquire();
                return std::move(ticket.result);
            }
            return std::nullopt;
        }
    }

    static constexpr int kWaiting = 0, kRunning = 1, kGivenUp = 2, kFinished = 3;
    QObject *m_owner;
    std::atomic<bool> m_stopping{false};
};

} // namespace pantrio
