#pragma once

#include "records/Config.h"

#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "state/AppState.h"
class QFormLayout;

namespace SettingsStyle {
// Makes the window's own symbols (history, settings, row buttons) known to Symbols.
void initSymbols();
// The dimmed text colour of captions.
QColor secondary(const QWidget *w);
// A wrapping caption in the small (or, with `smaller`, the smaller) text style, dimmed.
QLabel *caption(const QString &text, bool smaller = false, QWidget *parent = nullptr);
// Digits of a slider value: right-aligned in a box 62 pixels wide.
QLabel *valueLabel(QWidget *parent = nullptr);
} // namespace SettingsStyle

// One group of the settings form: an optional header above a card holding a two-column form.
// Controls write straight into the shared configuration; refresh() redraws them from it.
class SettingsSection : public QWidget
{
    Q_OBJECT
public:
    SettingsSection(const QString &title, AppState *state, QWidget *parent = nullptr);

protected:
    QFormLayout *form() const { return m_form; }
    AppState *state() const { return m_state; }
    const Config &config() const;
    // Changes a copy of the configuration and stores it in the shared state.
    void edit(const std::function<void(Config &)> &change);
    // Called whenever the configuration changes (by any control or view).
    virtual void refresh() = 0;
    // Connects refresh() to the state; sections call it once their controls exist.
    void follow();

private:
    QPointer<AppState> m_state;
    QFormLayout *m_form;
};
