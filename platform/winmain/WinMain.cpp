// The program's entry point, linked into the program itself: it makes the process visible to the other
// processes of the machine and runs the one application object as the framework's WinMain does.
#include "platform/framework.h"
#include "platform/processes.h"
#include "platform/processes/CommandLine.h"
#include "platform/processes/ProcessList.h"
#include "platform/window/ScreenChannel.h"
#include "platform/window/SdlPresenter.h"

namespace {

constexpr int kShowDefault = 10; // SW_SHOWDEFAULT

} // namespace

int main() {
    platform::RegisterCurrentProcess();
    // Tools drive the program and read its screen through the machine folder.
    platform::desktop::ServeScreenChannel();
    platform::desktop::PresentOnDisplayWhenSet();
    // The arguments after the program name end the command line, so the view's text is terminated.
    const std::wstring_view arguments = platform::ArgumentsAfterProgramName(GetCommandLineW());
    const int exitCode = AfxWinMain(nullptr, nullptr, const_cast<LPTSTR>(arguments.data()), kShowDefault);
    platform::desktop::StopScreenChannel();
    platform::RecordCurrentProcessExit(static_cast<DWORD>(exitCode));
    return exitCode;
}
