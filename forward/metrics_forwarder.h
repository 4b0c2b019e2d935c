#pragma once
// The --metrics forwarder: the tick notes which devices changed (a copy of a
// few texts each) and the station's counters; a scrape makes the facts of
// the devices changed since the last one, on its own thread, and renders a
// snapshot that shares the others' with the earlier scrapes.

#include <memory>

#include "forward/forwarding.h"

namespace zelo::forward {

std::unique_ptr<Forwarder> makeMetricsForwarder();

}  // namespace zelo::forward
