#pragma once

#include "desktop/KeyEventSource.h"
#include "desktop/KeyPoster.h"
#include "desktop/WindowPinning.h"

#include <QString>

// What stands in for a facility this desktop lacks: each does nothing and says why, so that the
// user reads the reason instead of the app failing quietly.

class NullKeyEventSource : public KeyEventSource
{
public:
    explicit NullKeyEventSource(QString reason) : m_reason(std::move(reason)) {}
    bool install(Handler handler) override;
    QString problem() const override { return m_reason; }

private:
    QString m_reason;
};

class NullKeyPoster : public KeyPoster
{
public:
    explicit NullKeyPoster(QString reason) : m_reason(std::move(reason)) {}
    void beginInsertion(const QString &) override {}
    int postText(QString &text) override;
    void postKey(Key, quint64) override {}
    void endInsertion() override {}
    QStringList focusedWindowClass() override { return {}; }
    QString unavailableReason() override { return m_reason; }
    bool canPaste() const override { return false; }

private:
    QString m_reason;
};

class NullWindowPinning : public WindowPinning
{
public:
    explicit NullWindowPinning(QString reason) : m_reason(std::move(reason)) {}
    // Logs the reason the first time.
    void pinToAllWorkspaces(QWindow *window) override;
    std::optional<QPoint> serverPosition(QWindow *) override { return std::nullopt; }

private:
    QString m_reason;
    bool m_told = false;
};
