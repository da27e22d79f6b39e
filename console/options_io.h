// The options dialog's boxes on the wire: the form as JSON for the page,
// and back from the page's form-encoded fields (the same names; check
// boxes "1" or empty; the forwarder list one address a line; interface
// records as dhcpN_<field>).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "console/options.h"

namespace vell {

std::string OptionsJson(const OptionsForm& form, const std::vector<std::string>& addresses);
OptionsForm OptionsFromFields(const std::map<std::string, std::string>& fields);

}  // namespace vell
