#include "tests/features/FeatureButtonTestSupport.h"

namespace features_test {

BEGIN_MESSAGE_MAP(CProbeButton, CDeckFeatureButton)
ON_WM_DESTROY()
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(CGridStandIn, CWnd)
ON_WM_SIZE()
ON_BN_CLICKED(kButtonId, &CGridStandIn::OnButtonClicked)
END_MESSAGE_MAP()

} // namespace features_test
