// The toolbar's "PowerStatusInfo" bits: one per battery feature, 1 while it is on.
#pragma once

#include "services/FeatureState.h"

enum PowerStatusInfoBit {
    PowerStatusInfoAirplaneMode = 0,
    PowerStatusInfoChargeThreshold = 1,
    PowerStatusInfoConservationMode = 2,
    PowerStatusInfoRapidCharge = 3,
};

// Sets the bit when the state is on, clears it otherwise; the other bits stay. Nothing is written
// when the toolbar's key does not exist.
void SetPowerStatusInfoBit(int nBit, FeatureState state);
