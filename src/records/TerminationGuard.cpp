#include "records/TerminationGuard.h"

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The guards installed, oldest first; the handler writes to the newest one's pipe.
std::vector<TerminationGuard *> &guardStack()
{
    static std::vector<TerminationGuard *> guards;
    return guards;
}
std::atomic<int> newestFd{-1};

extern "C" void writeDown(int signal)
{
    const char byte = char(signal);
    const int fd = newestFd.load();
    if (fd >= 0 && ::write(fd, &byte, 1) == 1)
        return;
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

} // namespace

TerminationGuard::TerminationGuard(Handler handler, std::initializer_list<int> signals,
                                   bool secondEndsAtOnce)
    : m_handler(std::move(handler))
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
        if (const int signal = take(); signal != 0 && m_handler)
            m_handler(signal);
    });
    guardStack().push_back(this);
    newestFd.store(m_pipe[1]);
    struct sigaction action
    {};
    action.sa_handler = writeDown;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | (secondEndsAtOnce ? SA_RESETHAND : 0);
    for (const int signal : signals) {
        struct sigaction previous
        {};
        ::sigaction(signal, &action, &previous);
        m_previous.push_back({signal, previous});
    }
}

TerminationGuard::~TerminationGuard()
{
    uninstall();
    m_notifier.reset();
    for (const int fd : m_pipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

void TerminationGuard::uninstall()
{
    auto &guards = guardStack();
    const auto at = std::find(guards.begin(), guards.end(), this);
    if (at == guards.end())
        return;
    if (at + 1 != guards.end()) {
        // A newer guard outlives this one: what this one found becomes what that one found.
        for (auto &[signal, previous] : (*(at + 1))->m_previous) {
            for (const auto &[mine, found] : m_previous) {
                if (mine == signal)
                    previous = found;
            }
        }
    } else {
        for (const auto &[signal, previous] : m_previous)
            ::sigaction(signal, &previous, nullptr);
    }
    guards.erase(at);
    newestFd.store(guards.empty() ? -1 : guards.back()->m_pipe[1]);
}

int TerminationGuard::take()
{
    char byte = 0;
    if (m_pipe[0] < 0 || ::read(m_pipe[0], &byte, 1) != 1)
        return 0;
    return byte;
}

void TerminationGuard::passOn(int signal)
{
    uninstall();
    ::raise(signal);
}

bool TerminationGuard::installed() const
{
    const auto &guards = guardStack();
    return std::find(guards.begin(), guards.end(), this) != guards.end();
}
