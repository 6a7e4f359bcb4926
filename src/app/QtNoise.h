#pragma once

// Qt prints a few warnings about its own inner workings that tell the user nothing and that no
// caller can avoid: the terminal gets this program's words only. Everything else Qt says still
// goes where it went.
namespace QtNoise {

// Puts the filter in front of the handler in place; once, early in main.
void install();

} // namespace QtNoise
