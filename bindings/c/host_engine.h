// The host's C callbacks behind the module's engine and notification, and
// the gate lyparser_shutdown closes.
//
// The module has one engine per process and keeps it for the life of the
// process, so this layer gives it one object that is never destroyed and
// forwards each call to the callbacks the host gave lyparser_init. Every
// forwarded call passes the gate: while it is closed the host is not called
// and the module hears "unknown". Closing waits for the calls in flight, so
// once it returns no callback runs, lookup threads included.
//
// Thread-safe. A callback may call this layer (also lyparser_shutdown: the
// close then waits only for the other threads' calls).
#ifndef LYPARSER_BINDINGS_C_HOST_ENGINE_H
#define LYPARSER_BINDINGS_C_HOST_ENGINE_H

#include "lyCenter.h"
#include "lyparser_c.h"

// The engine to hand to TagParserInitialize; never destroyed.
CBassAudio* HostEngine();
// The handler to give SetCallFunctionHandler: forwards to the host's notify.
void ForwardNotification(const char* unit, unsigned message, int a, int b);

// Opens the gate with `host`'s callbacks, after the calls in flight with the
// previous ones have returned.
void OpenHostGate(const lyparser_host& host);
// Closes the gate; returns once no callback runs but the caller's own.
void CloseHostGate();

#endif  // LYPARSER_BINDINGS_C_HOST_ENGINE_H
