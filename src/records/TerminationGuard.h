#pragma once

#include <QSocketNotifier>
#include <functional>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include <csignal>

// Termination signals (a kill, Ctrl+C, a closed terminal, the session ending) turned into a call
// on the thread that runs the event loop, where cleaning up is safe: the handler itself only
// writes the signal's number down a pipe. Guards nest: the newest one gets the signals, and
// passOn() gives one to whatever was there before it (an older guard, or the default that ends
// the process). Guards that end out of the order of their making still hand on what they found.
class TerminationGuard
{
public:
    using Handler = std::function<void(int signal)>;

    // With `secondEndsAtOnce`, a second signal of the same kind ends the process without waiting
    // for the first one's clean-up.
    explicit TerminationGuard(Handler handler,
                              std::initializer_list<int> signals = {SIGTERM, SIGINT},
                              bool secondEndsAtOnce = false);
    // Puts back the dispositions it found.
    ~TerminationGuard();
    TerminationGuard(const TerminationGuard &) = delete;
    TerminationGuard &operator=(const TerminationGuard &) = delete;

    // The handler must not end its own guard.
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // A signal that came while no event loop ran, taken so the handler does not get it too; 0
    // when none did.
    int take();
    // Puts back what was there before this guard and raises the signal again, so that it does
    // what it would have done without the guard.
    void passOn(int signal);
    // Whether it still gets its signals (passOn ends that).
    bool installed() const;

private:
    void uninstall();

    Handler m_handler;
    // What each signal did before.
    std::vector<std::pair<int, struct sigaction>> m_previous;
    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
