#pragma once

#include <QtCore>
#include <thread>

class QWidget;

// The user's hands, for the tests: real key presses and clicks through XTEST, on a connection
// of their own, as another program on the desktop would send them.
namespace XTestInput {

// Key codes of the server's map, looked up by keysym name ("Control_R", "Escape"), asked afresh
// (not from Xlib's cache); 0 where no key code types the keysym right now.
int keycode(const char *keysymName);
void key(int keycode, bool down);
// Presses and releases the key that types the keysym.
void tap(const char *keysymName);
// The same through the X server's own keyboard device, as a physical keyboard would: a key held
// there is not one the XTEST device pressed. False when the server has no such device.
bool keyOnCoreKeyboard(int keycode, bool down);
// Binds the key code to one keysym, as another program changing the keyboard map would.
void bindKeycode(int keycode, const char *keysymName);
// Whether Caps Lock is on.
bool capsLockOn();
void click(int button);
void button(int button, bool down);
// Moves the pointer to a point of the screen, and clicks the left button there or on the centre
// of a widget.
void moveTo(int x, int y);
void clickAt(const QPoint &at);
void clickOn(const QWidget *widget);
// The 32-bit items of a window property ("_NET_WM_DESKTOP"), or of an atom-list property as the
// atoms' names ("_NET_WM_STATE"); empty when the window does not have it.
QStringList property(unsigned long window, const char *name);
// Where a window's top-left corner is on the screen.
QPoint origin(unsigned long window);
// The WM_CLASS instance name of the window that has the input focus (or of its parents).
QString focusedClass();

// Another program's clipboard offering text and one more format that it never answers for, as
// a hung application would; on a connection of its own, served by the thread returned.
std::jthread hungClipboardOwner(const QByteArray &text);

} // namespace XTestInput
