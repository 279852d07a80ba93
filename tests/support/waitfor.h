#pragma once

#include <functional>

namespace testsupport {

// Runs the event loop until the condition holds or the time is up; returns the
// condition's last value. Every wait in the tests goes through here so that a
// broken test fails instead of hanging.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

// Runs the event loop for the given time, whatever happens.
void spinEventLoop(int milliseconds);

} // namespace testsupport
