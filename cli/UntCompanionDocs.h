// The companion's manual page and bash completion, written from its option table at build time.
#pragma once

#include <string>

// roff for man(1), section 1.
std::string companionManPage(const std::string& version);
// A bash script that completes the options and their values.
std::string companionBashCompletion();
