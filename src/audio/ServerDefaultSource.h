#pragma once

#include <QByteArray>

// Qt lists the audio server's sources but does not follow the server's choice of default input,
// so the default is asked of the server itself.
namespace ServerDefaultSource {

// The server's default capture source name (the id Qt gives that input); empty when no server
// answers within a short time. Blocking: call it off the main thread.
QByteArray name();

} // namespace ServerDefaultSource
