// A virtual X server (Xvfb) of the test's own for the window presenter's tests, with the few things they
// ask of it: a top-level window by name, its pixels, the keyboard focus, and programs run against it.
// The X headers stay inside the implementation: their macros would clash with the layer's names.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace x_test {

using XWindowId = unsigned long;

// Pixels as 0x00RRGGBB, rows from the top.
struct CXImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

class CXServer {
public:
    // Whether Xvfb can be found on the PATH.
    static bool IsInstalled();

    // Starts the server on a display number it finds free, and connects to it.
    CXServer();
    ~CXServer();
    CXServer(const CXServer&) = delete;
    CXServer& operator=(const CXServer&) = delete;

    bool IsRunning() const { return m_pDisplay != nullptr; }
    // ":N", for DISPLAY.
    const std::string& DisplayName() const { return m_strDisplay; }

    // A mapped top-level window with that title; 0 for none.
    XWindowId FindViewableWindow(const std::string& title);
    // The window's pixels; empty when it cannot be read.
    CXImage Capture(XWindowId window);
    void SetFocus(XWindowId window);
    // A window of another client: a small mapped top-level window (0 when it cannot be made).
    XWindowId MakeOtherWindow();

private:
    pid_t m_pid = -1;
    std::string m_strDisplay;
    void* m_pDisplay = nullptr; // the connection (Display*)
};

// Runs the program (looked up on the PATH) with the arguments and the process's environment; its exit
// code, -1 when it could not run.
int RunProgram(const std::vector<std::string>& arguments);

} // namespace x_test
