// feature IntelligentCooling: the thermal mode that the thermal service keeps, shown or changed as the
// machine's own hotkey changes it (no control code is sent, nothing is recorded).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "machine/host/HostFeatures.h"

// Whether the words after "feature" are the thermal service's: the feature alone, or with --mode.
bool IsThermalFeatureCommand(const host::FeatureInfo& feature, const std::vector<std::string>& args);
// The words after "feature", its name first.
int RunThermalFeatureCommand(const std::vector<std::string>& args);
void PrintThermalFeatureHelp(FILE* out);
