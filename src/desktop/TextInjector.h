#pragma once

#include "desktop/ClipboardKeeper.h"
#include "desktop/KeyPoster.h"
#include "desktop/NewlineMode.h"
#include "desktop/PlatformLoader.h"
#include "desktop/TypingPlan.h"

#include <QObject>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>

// Puts a transcript where the text cursor is in the focused window: through the clipboard and a
// paste key, or by typing it. Insertions run one after another in the order asked for, so a
// second one right after a paste neither pastes the wrong text nor leaves a transcript behind on
// the user's clipboard. Runs on the main thread.
class TextInjector : public QObject
{
    Q_OBJECT

public:
    // How the focused window pastes.
    enum class PasteKeys
    {
        controlV,
        // Terminals print ^V on Control+V and paste on Control+Shift+V.
        controlShiftV,
        // The xterm family binds no paste key to the clipboard: the primary selection on
        // Shift+Insert.
        shiftInsert
    };

    static constexpr int pasteKeyDelayMs = 50;
    static constexpr int restoreDelayMs = 400;
    // Where the clipboard shows when the target asks for it, how long after the paste key a busy
    // target may take before the user's clipboard goes back all the same.
    static constexpr int lateReadMs = 5000;

    // The clipboard reader serves both clipboards.
    TextInjector(std::unique_ptr<KeyPoster> poster, std::unique_ptr<ClipboardReader> clipboard,
                 QObject *parent = nullptr);
    // With the platform's backends.
    explicit TextInjector(PlatformLoader &platform, QObject *parent = nullptr);
    ~TextInjector() override;

    // The text, the method and the newline mode as the configuration stores them: "type" types,
    // anything else pastes; a mode that matches none is "shiftReturn". White space at both ends
    // is never inserted; white space alone inserts nothing. `spaceBefore` puts one space before
    // the text, joining it to the insertion before it.
    void insert(const QString &text, const QString &method, const QString &newline,
                bool spaceBefore = false);
    // Whether an insertion is under way or waiting.
    bool isBusy() const { return m_busy || !m_queue.isEmpty(); }
    // Whether a paste can reach the focused window; where it cannot, pastes are typed.
    bool canPaste() const { return m_poster && m_poster->canPaste(); }

    // Calls `ready` once the desktop has said whether keys may be posted, where it is still
    // deciding (it may be asking the user), and returns true; false when nothing is pending.
    bool whenReady(std::function<void()> ready)
    {
        return m_poster && m_poster->whenReady(std::move(ready));
    }

    static PasteKeys pasteKeysFor(const QStringList &windowClass);
    // The clipboard backend the insertions borrow.
    ClipboardReader &clipboard() { return *m_reader; }

Q_SIGNALS:
    // Every insertion asked for is done and the clipboards are given back.
    void idle();
    // An insertion was dropped without posting a key: the poster cannot post now, for the
    // reason given (for the user).
    void failed(const QString &reason);

private:
    TextInjector(std::pair<std::unique_ptr<KeyPoster>, std::unique_ptr<ClipboardReader>> backends,
                 QObject *parent);

    struct Insertion
    {
        QString text;
        bool typed = false;
        NewlineMode mode = NewlineMode::shiftReturn;
        // A typed insertion's plan, and how far it has gone.
        QList<TypingStep> steps;
        qsizetype next = 0;
    };

    void runQueue();
    void plan(Insertion &insertion);
    // Types the current insertion up to its next paste step, whose text it returns (empty at
    // the end).
    QString typeUntilPaste();
    void typeCharacters(const QString &text);
    void pasteText(const QString &text);
    // The paste's keys have had their time to arrive / the target asked for the clipboard: the
    // user's clipboard goes back once both are true, or lateReadMs after the keys.
    void pasteSettled(quint64 paste);
    void pasteAskedFor(quint64 paste);
    // Gives the clipboard back and goes on, once per paste.
    void finishPaste(quint64 paste);
    void resume();
    void sleepMs(int ms);

    std::unique_ptr<KeyPoster> m_poster;
    std::unique_ptr<ClipboardReader> m_reader;
    ClipboardKeeper m_clipboard{QClipboard::Clipboard, *m_reader};
    ClipboardKeeper m_selection{QClipboard::Selection, *m_reader};
    QQueue<Insertion> m_queue;
    std::optional<Insertion> m_current;
    bool m_busy = false;
    bool m_toldTyping = false;
    struct PasteWait
    {
        quint64 id = 0;
        bool watched = false; // the clipboard says when it is asked for
        bool asked = false;
        bool settled = false;
        bool over = false;
    };
    PasteWait m_paste;
};
