#pragma once

// Talking HTTP to the share service as a phone would, from the tests: one
// request over a socket of its own, and a proxy that drops, duplicates,
// delays or resets what passes. Every loop is bounded in count and time.
#include <QByteArray>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

#include <atomic>
#include <thread>

namespace pantrio::test
{

struct Reply {
    int status = 0;
    QByteArray body;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// The request written as given (a byte at a time every trickleMs when set),
// its answer read to its end; the event loop runs meanwhile, as the service
// needs it to. At most 30 s.
Reply raw(quint16 port, const QByteArray &request, int trickleMs = 0,
          const QHostAddress &from = QHostAddress());

QByteArray request(const QByteArray &method, const QByteArray &path, quint16 port,
                   const QByteArray &token = {}, const QByteArray &body = {},
                   const QList<QByteArray> &extra = {}, const QByteArray &host = {});

// Between a phone and the desktop, on a thread of its own with blocking
// sockets, so the desktop's loop runs on: one fault per request as told.
class FaultyProxy
{
  public:
    enum class Fault { None, DropAnswer, Duplicate, Delay, Reset };
    explicit FaultyProxy(quint16 target);
    ~FaultyProxy();
    quint16 port() const { return m_port; }
    void next(Fault f) { m_fault = int(f); }
    void setTarget(quint16 target) { m_target = target; }

  private:
    QByteArray forward(const QByteArray &request);
    void run();

    std::atomic<quint16> m_target;
    std::atomic<quint16> m_port{0};
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_fault{0};
    std::thread m_thread;
};

} // namespace pantrio::test
