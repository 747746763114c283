// The strips' source of new-column widths: the first rule of an application
// when it gives a width, else the default width preference. Both are read at
// every use, so an edited rule or preference applies to the next new column.
#pragma once

#include <optional>
#include <string>

#include "core/strip.h"
#include "settings/prefs.h"
#include "settings/rules.h"

namespace tarvela {

class RuleWidths final : public WidthDefaults {
public:
    RuleWidths(RuleStore& rules, Prefs& prefs) : rules_(rules), prefs_(prefs) {}
    std::optional<double> ruleWidth(const std::string& bundleID) override { return rules_.ruleWidth(bundleID); }
    double defaultWidth() override { return prefs_.defaultWidth(); }

private:
    RuleStore& rules_;
    Prefs& prefs_;
};

}  // namespace tarvela
