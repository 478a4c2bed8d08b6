// What the tooltips say: the menu each hard key opens, what each soft key
// does (and the unit an entry expects), the calibration mark and the status
// bar's sweep indicator.
#pragma once

#include <QString>

#include "base/measurement.h"
#include "panel/front_panel.h"
#include "panel/menus.h"

namespace ostra {

QString HardKeyTip(HardKey key);
// Empty for an action without a tip.
QString SoftKeyTip(ActionId action, SweepKind sweep);
// "C" or "C?": the tip of the calibration mark; empty for any other text.
QString CalibrationMarkTip(const std::string& mark);
QString SweepIndicatorTip();

}  // namespace ostra
