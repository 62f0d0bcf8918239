// tools/routersim/WebOptions.h: the command-line options of the devices' web interfaces.
#pragma once

#include "tools/routersim/WebSettings.h"

#include <string>
#include <string_view>

namespace routersim {

bool isWebOption(std::string_view option); // takes a value
bool isWebFlag(std::string_view option);   // takes none
// One option and its value (empty for a flag). Returns the error text, empty on success.
std::string parseWebOption(std::string_view option, std::string_view value, WebSettings& web);
// The options taken together; the error text, empty when they fit.
std::string checkWebSettings(const WebSettings& web);

} // namespace routersim
