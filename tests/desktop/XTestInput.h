#pragma once

#include <QString>

// The user's hands, for the tests: real key presses and clicks through XTEST, on a connection
// of their own, as another program on the desktop would send them.
namespace XTestInput {

// Key codes of the server's map, looked up by keysym name ("Control_R", "Escape").
int keycode(const char *keysymName);
void key(int keycode, bool down);
void click(int button);
// The WM_CLASS instance name of the window that has the input focus (or of its parents).
QString focusedClass();

} // namespace XTestInput
