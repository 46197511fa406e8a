#include "app/SessionEnd.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace pantrio::SessionEnd
{

namespace
{
int g_signalPipe[2] = {-1, -1};

void onEndSignal(int)
{
    const char c = 1;
    // Only what is safe in a signal handler: the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}
} // namespace

void handle(std::function<void()> store)
{
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app || g_signalPipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [store] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
        store();
        QCoreApplication::exit(0);
    });
    struct sigaction action = {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    // The desktop's session manager asks before it logs out.
    QObject::connect(app, &QGuiApplication::commitDataRequest, app,
                     [store](QSessionManager &) { store(); });
}

} // namespace pantrio::SessionEnd
