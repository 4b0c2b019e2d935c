#pragma once
// The --metrics forwarder: keeps the facts of every device current on the
// tick's thread (only the devices a tick changed are read again) and hands
// a snapshot of them to the metrics server after changes and every second.

#include <memory>

#include "forward/forwarding.h"

namespace zelo::forward {

std::unique_ptr<Forwarder> makeMetricsForwarder();

}  // namespace zelo::forward
