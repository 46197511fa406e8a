#include "support/HttpTestSupport.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <chrono>
#include <memory>

namespace pantrio::test
{

namespace
{
QByteArray readRequest(QTcpSocket &s)
{
    QByteArray data;
    for (int i = 0; i < 200; ++i) {
        s.waitForReadyRead(50);
        data += s.readAll();
        const qsizetype end = data.indexOf("\r\n\r\n");
        if (end < 0)
            continue;
        const QByteArray head = data.left(end).toLower();
        const qsizetype at = head.indexOf("content-length:");
        const int length = at < 0 ? 0 : head.mid(at + 15).split('\r').first().trimmed().toInt();
        if (data.size() >= end + 4 + length)
            break;
    }
    return data;
}
} // namespace


// One request over a socket of its own, written as given, read to its end;
// the event loop runs meanwhile, as the service needs it to. At most 10 s.
Reply raw(quint16 port, const QByteArray &request, int trickleMs, const QHostAddress &from)
{
    QTcpSocket socket;
    if (!from.isNull())
        socket.bind(from);
    socket.connectToHost(QHostAddress::LocalHost, port);
    QElapsedTimer t;
    t.start();
    while (socket.state() != QAbstractSocket::ConnectedState && t.elapsed() < 10000)
        QTest::qWait(5);
    if (trickleMs > 0) {
        for (char c : request) {
            socket.write(&c, 1);
            QTest::qWait(trickleMs);
            if (socket.state() != QAbstractSocket::ConnectedState || t.elapsed() > 30000)
                break;
        }
    } else {
        socket.write(request);
    }
    QByteArray data;
    while (socket.state() == QAbstractSocket::ConnectedState && t.elapsed() < 30000) {
        QTest::qWait(5);
        data += socket.readAll();
        const qsizetype end = data.indexOf("\r\n\r\n");
        if (end >= 0) {
            const QByteArray head = data.left(end).toLower();
            const qsizetype at = head.indexOf("content-length:");
            const int length = at < 0 ? 0 : head.mid(at + 15).split('\r').first().trimmed().toInt();
            if (data.size() >= end + 4 + length)
                break;
        }
    }
    data += socket.readAll();
    Reply r;
    r.status = data.startsWith("HTTP/1.") ? data.mid(9, 3).toInt() : 0;
    const qsizetype end = data.indexOf("\r\n\r\n");
    r.body = end < 0 ? QByteArray() : data.mid(end + 4);
    return r;
}

QByteArray request(const QByteArray &method, const QByteArray &path, quint16 port,
                   const QByteArray &token, const QByteArray &body, const QList<QByteArray> &extra,
                   const QByteArray &host)
{
    QByteArray r = method + ' ' + path + " HTTP/1.1\r\nHost: " +
                   (host.isEmpty() ? "127.0.0.1:" + QByteArray::number(port) : host) +
                   "\r\nConnection: close\r\n";
    if (!token.isEmpty())
        r += "Authorization: Bearer " + token + "\r\n";
    for (const QByteArray &h : extra)
        r += h + "\r\n";
    if (!body.isEmpty() || method == "POST")
        r += "Content-Type: application/json\r\nContent-Length: " +
             QByteArray::number(body.size()) + "\r\n";
    return r + "\r\n" + body;
}

FaultyProxy::FaultyProxy(quint16 target) : m_target(target)
{
    m_thread = std::thread([this] { run(); });
    for (int i = 0; i < 200 && m_port.load() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

FaultyProxy::~FaultyProxy()
{
    m_stop = true;
    m_thread.join();
}

QByteArray FaultyProxy::forward(const QByteArray &request)
{
    QTcpSocket up;
    up.connectToHost(QHostAddress::LocalHost, m_target);
    if (!up.waitForConnected(5000))
        return {};
    up.write(request);
    up.waitForBytesWritten(5000);
    QByteArray answer;
    for (int i = 0; i < 600 && up.state() == QAbstractSocket::ConnectedState; ++i) {
        up.waitForReadyRead(50);
        answer += up.readAll();
    }
    return answer + up.readAll();
}

void FaultyProxy::run()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    m_port = server.serverPort();
    while (!m_stop) {
        if (!server.waitForNewConnection(50))
            continue;
        std::unique_ptr<QTcpSocket> phone(server.nextPendingConnection());
        const QByteArray request = readRequest(*phone);
        const Fault fault = Fault(m_fault.exchange(int(Fault::None)));
        if (fault == Fault::Reset) {
            phone->abort();
            continue;
        }
        if (fault == Fault::Delay)
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
        QByteArray answer = forward(request);
        if (fault == Fault::Duplicate)
            answer = forward(request);
        if (fault == Fault::DropAnswer) {
            phone->abort(); // the desktop did it; the phone never hears
            continue;
        }
        phone->write(answer);
        phone->waitForBytesWritten(5000);
        phone->disconnectFromHost();
    }
}

} // namespace pantrio::test
