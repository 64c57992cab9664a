#include "platform/unix_signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

namespace vantor {
namespace {

int g_signal_socket[2] = {-1, -1};  // [0] written by the handler, [1] read by the event loop

void OnSignal(int signal_number)
{
    const char byte = static_cast<char>(signal_number);
    (void)!::write(g_signal_socket[0], &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_socket) != 0)
        return;
    notifier_ = new QSocketNotifier(g_signal_socket[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::Drain);
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    for (int& fd : g_signal_socket)
        if (fd >= 0)
            ::close(std::exchange(fd, -1));
}

void TerminationSignals::Drain()
{
    char byte = 0;
    if (::read(g_signal_socket[1], &byte, 1) == 1)
        emit terminationRequested(byte);
}

}  // namespace vantor
