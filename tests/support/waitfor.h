#pragma once

#include <functional>

namespace testsupport {

// Runs the event loop until the condition holds or the time is up; returns the
// condition's last value. Every wait in the tests goes through here so that a
// broken test fails instead of hanging. The bound is only there for that: it
// is generous, so that a loaded machine (a sanitizer build beside a parallel
// run on two cores) never makes a sound case fail.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 30000);

// Runs the event loop for the given time, whatever happens.
void spinEventLoop(int milliseconds);

} // namespace testsupport
