#pragma once

namespace taxi {

class SingleInstance;

// The service with its window: the single-instance check, the window shown and the start-up run as
// it appears, the start button pressed once when asked, then the event loop until the program ends.
// Returns the exit status: 1 for a second copy, otherwise the one the service ended with.
int runGuiFront(SingleInstance& instance, bool pressStart);

} // namespace taxi
