// zeloctl commands of the status station.
#include "cli/cli.h"

namespace zelo::cli {

std::vector<Command> statusCommands() { return {}; }

}  // namespace zelo::cli
