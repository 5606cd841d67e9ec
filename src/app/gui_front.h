#pragma once

#include "app/metrics_server.h"

#include <optional>

namespace taxi {

class SingleInstance;

// The service with its window: the single-instance check, the window shown and the start-up run as
// it appears, the start button pressed once when asked, then the event loop until the program ends.
// Serves the metrics when an endpoint is given. Returns the exit status: 1 for a second copy or metrics
// that cannot be served, otherwise the one the service ended with.
int runGuiFront(SingleInstance& instance, bool pressStart,
                const std::optional<MetricsEndpoint>& metrics = {});

} // namespace taxi
