// One state image of a feature button: the PNG, the colour of the circle behind it, the loaded bitmap.
#pragma once

#include "platform/gdiplus.h"

struct FeatureImage {
    FeatureImage() = default;
    ~FeatureImage() { delete pBitmap; }
    FeatureImage(const FeatureImage&) = delete;
    FeatureImage& operator=(const FeatureImage&) = delete;

    int nPngId = 0;             // resource id of a "PNG" resource; 0 = none
    COLORREF crBack = 0xFFFFFF; // the circle's colour in this state
    Gdiplus::Bitmap* pBitmap = nullptr;
};
