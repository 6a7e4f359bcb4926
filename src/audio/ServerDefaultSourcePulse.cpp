#include "audio/ServerDefaultSource.h"

#include <QElapsedTimer>
#include <memory>
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>

namespace ServerDefaultSource {

namespace {

// A server that accepts the connection but never answers must not hold up a recording.
constexpr qint64 answerWithinMs = 1500;

struct MainloopFree
{
    void operator()(pa_mainloop *m) const { pa_mainloop_free(m); }
};
struct ContextRelease
{
    void operator()(pa_context *c) const
    {
        pa_context_disconnect(c);
        pa_context_unref(c);
    }
};
struct OperationUnref
{
    void operator()(pa_operation *o) const { pa_operation_unref(o); }
};

struct Query
{
    QByteArray name;
    bool answered = false;
};

// Runs the loop until `done` says so or the time is up; false when the time ran out.
template <typename Done> bool iterateUntil(pa_mainloop *loop, const QElapsedTimer &clock, Done done)
{
    while (!done()) {
        const qint64 left = answerWithinMs - clock.elapsed();
        if (left <= 0)
            return false;
        if (pa_mainloop_prepare(loop, int(left) * 1000) < 0 || pa_mainloop_poll(loop) < 0 ||
            pa_mainloop_dispatch(loop) < 0)
            return false;
    }
    return true;
}

} // namespace

QByteArray name()
{
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<pa_mainloop, MainloopFree> loop(pa_mainloop_new());
    if (!loop)
        return {};
    pa_context *raw = pa_context_new(pa_mainloop_get_api(loop.get()), "vesk-voice");
    if (!raw)
        return {};
    // Never start a server just to learn its default.
    if (pa_context_connect(raw, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        pa_context_unref(raw);
        return {};
    }
    std::unique_ptr<pa_context, ContextRelease> context(raw);
    const auto settled = [&] {
        const pa_context_state_t s = pa_context_get_state(context.get());
        return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
    };
    if (!iterateUntil(loop.get(), clock, settled) ||
        pa_context_get_state(context.get()) != PA_CONTEXT_READY)
        return {};

    Query query;
    const auto onInfo = [](pa_context *, const pa_server_info *info, void *data) {
        auto *q = static_cast<Query *>(data);
        if (info && info->default_source_name)
            q->name = QByteArray(info->default_source_name);
        q->answered = true;
    };
    std::unique_ptr<pa_operation, OperationUnref> operation(
        pa_context_get_server_info(context.get(), onInfo, &query));
    if (!operation)
        return {};
    if (!iterateUntil(loop.get(), clock, [&] { return query.answered; }))
        return {};
    return query.name;
}

} // namespace ServerDefaultSource
