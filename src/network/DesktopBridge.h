#pragma once

#include <QMetaObject>
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
        explicit Job(std::shared_ptr<std::atomic<int>> state) : m_state(std::move(state)) {}
        std::shared_ptr<std::atomic<int>> m_state;
    };

    // Nothing when sharing stopped or timeoutMs (0: no limit) passed first.
    // work must own what it uses (capture by value): it may outlive the call.
    template <typename R>
    std::optional<R> call(std::function<R(const Job &)> work, int timeoutMs = 0)
    {
        auto state = std::make_shared<std::atomic<int>>(kWaiting);
        if (QThread::currentThread() == m_owner->thread()) {
            state->store(kRunning);
            return work(Job(state));
        }
        struct Shared {
            QSemaphore done;
            std::optional<R> result;
        };
        auto shared = std::make_shared<Shared>();
        QMetaObject::invokeMethod(
            m_owner,
            [state, shared, work = std::move(work)] {
                int waiting = kWaiting;
                if (!state->compare_exchange_strong(waiting, kRunning))
                    return;
                R result = work(Job(state));
                int running = kRunning;
                if (state->compare_exchange_strong(running, kFinished)) {
                    shared->result = std::move(result);
                    shared->done.release();
                }
            },
            Qt::QueuedConnection);
        const auto started = std::chrono::steady_clock::now();
        for (;;) {
            if (shared->done.tryAcquire(1, 50))
                return std::move(shared->result);
            const bool late = timeoutMs > 0 && std::chrono::steady_clock::now() - started >
                                                   std::chrono::milliseconds(timeoutMs);
            if (!m_stopping && !late)
                continue;
            // Given up, whether it waits or runs; unless it just finished.
            int seen = state->load();
            while (seen != kFinished && !state->compare_exchange_weak(seen, kGivenUp)) {
            }
            if (seen == kFinished) {
                shared->done.acquire();
                return std::move(shared->result);
            }
            return std::nullopt;
        }
    }

  private:
    static constexpr int kWaiting = 0, kRunning = 1, kGivenUp = 2, kFinished = 3;
    QObject *m_owner;
    std::atomic<bool> m_stopping{false};
};

} // namespace pantrio
