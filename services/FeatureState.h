// The state of a feature toggle as the buttons, the cache and the toolbar's bits keep it.
#pragma once

enum FeatureState {
    FeatureStateOff = 0,
    FeatureStateOn = 1,
    FeatureStateDisabled = 2,
};
