// zeloctl commands that talk to devices.
#include "cli/cli.h"

namespace zelo::cli {

std::vector<Command> connectionCommands() { return {}; }

}  // namespace zelo::cli
