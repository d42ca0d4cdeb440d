#pragma once

namespace Trivet {

// Keeps events flowing for the given number of seconds, then returns: never earlier, and without
// using the processor meanwhile. Handlers of the window, including another waitSeconds, may run inside it.
void waitSeconds(int seconds);

// The same in milliseconds, for waits of less than a second.
void waitMilliseconds(int milliseconds);

} // namespace Trivet
