#include "tests/app/PanelTestSupport.h"

namespace panels_test {

BEGIN_MESSAGE_MAP(CPanelContainer, CWnd)
ON_WM_SIZE()
ON_MESSAGE(WM_DECK_SWITCHHEADING, &CPanelContainer::OnSwitchHeading)
END_MESSAGE_MAP()

} // namespace panels_test
