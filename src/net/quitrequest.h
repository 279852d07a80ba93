#pragma once

// The program's request to quit, as the network layer sees it: once raised,
// every wait of the layer (a synchronous HTTP request, a socket's wait for a
// flag, a flush, a wait for the close) gives up at once instead of keeping
// the event loop it runs inside, and so the program, alive. Raised from the
// thread of the event loop (a signal's handler only wakes that loop).
namespace QuitRequest {

void raise();
bool raised();
// Raises the request as soon as the application is told to quit (its Quit
// event), even from inside a wait's own event loop.
void followApplicationQuit();
// A test process lives on after the quit it asked for.
void resetForTests();

} // namespace QuitRequest
