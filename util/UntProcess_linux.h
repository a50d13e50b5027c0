// Starting a program that outlives the call: no shell, no wait, no zombie.
#pragma once

#include <string>
#include <vector>

// Runs argv[0] (searched in PATH) with the arguments exactly as given, in its own session,
// detached from this process. True when the program was started; false when it could not
// be found or run. Returns as soon as the program has been started.
bool spawnDetached(const std::vector<std::string>& argv);
