// What the two link controls share: their pair of "Segoe UI" fonts, measuring their text and
// narrowing them to it where they stand.
#pragma once

#include "platform/framework_gdi.h"
#include "platform/framework_window.h"

// Makes both fonts anew at the design size and weight (0 or less: 400): the normal one underlined, the
// hover one not.
void CreateLinkFonts(CFont& fontNormal, CFont& fontHover, int nSize, int nWeight);

// The text's width in the font on a DC of the window.
int MeasureTextWidth(CWnd* pWnd, CFont& font, const CString& strText);

// When the text is narrower than the client area: the window's width becomes 1.1 times the text's,
// keeping its left or its right edge, its top and its height in its parent.
void NarrowToText(CWnd* pWnd, int nTextWidth, bool bKeepLeft);
