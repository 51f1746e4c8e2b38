#pragma once
// The user's own settings file: $XDG_CONFIG_HOME/fernquill/config.ini.
#include <string>

namespace fq::app {

std::string UserConfigPath();

}  // namespace fq::app
