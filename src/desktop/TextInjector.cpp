#include "desktop/TextInjector.h"

#include "desktop/KeyEvent.h"
#include "records/Log.h"

#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <utility>

namespace {

const QStringList xtermFamily = {QStringLiteral("xterm"), QStringLiteral("uxterm"),
                                 QStringLiteral("rxvt"),  QStringLiteral("urxvt"),
                                 QStringLiteral("st"),    QStringLiteral("st-256color")};

const QStringList terminals = {QStringLiteral("gnome-terminal"),
                               QStringLiteral("gnome-terminal-server"),
                               QStringLiteral("konsole"),
                               QStringLiteral("kitty"),
                               QStringLiteral("alacritty"),
                               QStringLiteral("wezterm"),
                               QStringLiteral("org.wezfurlong.wezterm"),
                               QStringLiteral("tilix"),
                               QStringLiteral("com.gexperts.tilix"),
                               QStringLiteral("terminator"),
                               QStringLiteral("xfce4-terminal"),
                               QStringLiteral("qterminal"),
                               QStringLiteral("lxterminal"),
                               QStringLiteral("mate-terminal"),
                               QStringLiteral("terminology"),
                               QStringLiteral("sakura"),
                               QStringLiteral("guake"),
                               QStringLiteral("tilda"),
                               QStringLiteral("foot"),
                               QStringLiteral("deepin-terminal"),
                               QStringLiteral("kgx"),
                               QStringLiteral("org.gnome.console"),
                               QStringLiteral("ptyxis"),
                               QStringLiteral("cool-retro-term"),
                               QStringLiteral("yakuake"),
                               QStringLiteral("roxterm"),
                               QStringLiteral("termite"),
                               QStringLiteral("urxvt-tabbed")};

} // namespace

TextInjector::TextInjector(std::unique_ptr<KeyPoster> poster,
                           std::unique_ptr<ClipboardReader> clipboard, QObject *parent)
    : QObject(parent), m_poster(std::move(poster)), m_reader(std::move(clipboard))
{}

namespace {

// The poster first: its portal session may serve the clipboard too.
std::pair<std::unique_ptr<KeyPoster>, std::unique_ptr<ClipboardReader>>
backendsOf(PlatformLoader &platform)
{
    auto poster = platform.keyPoster();
    return {std::move(poster), platform.clipboard()};
}

} // namespace

TextInjector::TextInjector(PlatformLoader &platform, QObject *parent)
    : TextInjector(backendsOf(platform), parent)
{}

TextInjector::TextInjector(
    std::pair<std::unique_ptr<KeyPoster>, std::unique_ptr<ClipboardReader>> backends,
    QObject *parent)
    : TextInjector(std::move(backends.first), std::move(backends.second), parent)
{}

TextInjector::~TextInjector() = default;

TextInjector::PasteKeys TextInjector::pasteKeysFor(const QStringList &windowClass)
{
    bool terminal = false;
    for (const QString &name : windowClass) {
        const QString lower = name.toLower();
        if (xtermFamily.contains(lower) || lower.startsWith(QLatin1String("rxvt-")))
            return PasteKeys::shiftInsert;
        if (terminals.contains(lower))
            terminal = true;
    }
    return terminal ? PasteKeys::controlShiftV : PasteKeys::controlV;
}

void TextInjector::insert(const QString &text, const QString &method, const QString &newline,
                          bool spaceBefore)
{
    QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || !m_poster)
        return;
    if (spaceBefore)
        trimmed.prepend(QLatin1Char(' '));
    bool typed = method == QLatin1String("type");
    if (!typed && !m_poster->canPaste()) {
        typed = true;
        if (!std::exchange(m_toldTyping, true))
            Log::write(QStringLiteral("this desktop lets no other program set the clipboard for "
                                      "the focused window: insertions are typed"));
    }
    m_queue.enqueue({trimmed, typed, NewlineModes::fromRaw(newline)});
    if (!m_busy)
        runQueue();
}

void TextInjector::runQueue()
{
    while (m_current || !m_queue.isEmpty()) {
        if (!m_current) {
            Insertion next = m_queue.dequeue();
            if (const QString reason = m_poster->unavailableReason(); !reason.isEmpty()) {
                Log::write(QStringLiteral("insertion dropped: ") + reason);
                Q_EMIT failed(reason);
                continue;
            }
            if (!next.typed) {
                m_busy = true;
                pasteText(next.text);
                return; // continues in resume()
            }
            plan(next);
            m_current = std::move(next);
        }
        // The clipboards go back before typing, which may well be a paste of its own elsewhere.
        m_clipboard.giveBack();
        m_selection.giveBack();
        m_busy = true;
        if (const QString piece = typeUntilPaste(); !piece.isEmpty()) {
            pasteText(piece);
            return; // the rest of the insertion continues in resume()
        }
        m_current.reset();
        // The next insertion, or the clipboards going back, waits for the keys to arrive.
        if (m_poster->whenDelivered([this] { resume(); }))
            return;
        m_busy = false;
    }
    m_clipboard.giveBack();
    m_selection.giveBack();
    Q_EMIT idle();
}

void TextInjector::plan(Insertion &insertion)
{
    NewlineMode mode = insertion.mode;
    // Terminals read Shift+Return as a key of its own (foot sends ESC[27;2;13~), not as a line
    // break: there it is a plain Return.
    if (mode == NewlineMode::shiftReturn &&
        insertion.text.contains(QRegularExpression(QStringLiteral("[\r\n]"))) &&
        pasteKeysFor(m_poster->focusedWindowClass()) != PasteKeys::controlV)
        mode = NewlineMode::plain;
    // Where the clipboard cannot reach the focused window, such characters are typed anyway.
    const bool pasteBeyondBmp = !m_poster->typesBeyondBmp() && m_poster->canPaste();
    insertion.steps = TypingPlan::plan(insertion.text, mode, pasteBeyondBmp);
}

QString TextInjector::typeUntilPaste()
{
    QList<TypingStep> &steps = m_current->steps;
    qsizetype end = m_current->next;
    QString characters;
    for (; end < steps.size() && steps[end].kind != TypingStep::Kind::paste; ++end)
        characters += steps[end].text;
    if (end > m_current->next) {
        m_poster->beginInsertion(characters);
        for (; m_current->next < end; ++m_current->next) {
            const TypingStep &step = steps[m_current->next];
            if (step.kind == TypingStep::Kind::lineBreak)
                m_poster->postKey(KeyPoster::Key::returnKey, step.flags);
            else
                typeCharacters(step.text);
            sleepMs(TypingPlan::pauseAfterMs(step));
        }
        m_poster->endInsertion();
    }
    if (m_current->next == steps.size())
        return QString();
    return steps[m_current->next++].text;
}

void TextInjector::typeCharacters(const QString &text)
{
    QString rest = text;
    while (!rest.isEmpty()) {
        const int wait = m_poster->postText(rest);
        if (!rest.isEmpty())
            sleepMs(wait);
    }
}

void TextInjector::pasteText(const QString &text)
{
    const PasteKeys keys = pasteKeysFor(m_poster->focusedWindowClass());
    // The previous paste's selection goes back when this one does not use it.
    if (keys != PasteKeys::shiftInsert)
        m_selection.giveBack();
    const auto pressKeys = [this, keys] {
        QTimer::singleShot(pasteKeyDelayMs, this, [this, keys] {
            // A busy target may ask for the clipboard long after the key: where the clipboard
            // shows that, the user's contents wait for it.
            const quint64 paste = ++m_paste.id;
            m_paste = {paste};
            const auto asked = [this, paste] { pasteAskedFor(paste); };
            m_paste.watched = keys == PasteKeys::shiftInsert
                                  ? m_selection.whenAskedFor(this, asked)
                                  : m_clipboard.whenAskedFor(this, asked);
            m_poster->beginInsertion(QString());
            switch (keys) {
            case PasteKeys::controlV:
                m_poster->postKey(KeyPoster::Key::v, ModifierFlag::control);
                break;
            case PasteKeys::controlShiftV:
                m_poster->postKey(KeyPoster::Key::v, ModifierFlag::control | ModifierFlag::shift);
                break;
            case PasteKeys::shiftInsert:
                m_poster->postKey(KeyPoster::Key::insert, ModifierFlag::shift);
                break;
            }
            m_poster->endInsertion();
            // The clipboard goes back only once the target can have read it.
            const auto restoreLater = [this, paste] {
                QTimer::singleShot(restoreDelayMs, this, [this, paste] { pasteSettled(paste); });
            };
            if (!m_poster->whenDelivered(restoreLater))
                restoreLater();
        });
    };
    if (keys == PasteKeys::shiftInsert)
        m_clipboard.borrow(text, [this, text, pressKeys] { m_selection.borrow(text, pressKeys); });
    else
        m_clipboard.borrow(text, pressKeys);
}

void TextInjector::pasteSettled(quint64 paste)
{
    if (paste != m_paste.id || m_paste.over)
        return;
    m_paste.settled = true;
    if (!m_paste.watched || m_paste.asked)
        return finishPaste(paste);
    QTimer::singleShot(lateReadMs - restoreDelayMs, this, [this, paste] {
        if (paste == m_paste.id && !m_paste.over)
            Log::write(QStringLiteral("the focused window did not ask for the pasted text within "
                                      "%1 s; the clipboard goes back")
                           .arg(lateReadMs / 1000));
        finishPaste(paste);
    });
}

void TextInjector::pasteAskedFor(quint64 paste)
{
    if (paste != m_paste.id || m_paste.over)
        return;
    m_paste.asked = true;
    // A target may try several forms one after another: it is given the same time as the keys.
    if (m_paste.settled)
        QTimer::singleShot(restoreDelayMs, this, [this, paste] { finishPaste(paste); });
}

void TextInjector::finishPaste(quint64 paste)
{
    if (paste != m_paste.id || m_paste.over)
        return;
    m_paste.over = true;
    resume();
}

void TextInjector::resume()
{
    m_busy = false;
    runQueue();
}

void TextInjector::sleepMs(int ms)
{
    if (ms > 0)
        QThread::msleep(ulong(ms));
}
