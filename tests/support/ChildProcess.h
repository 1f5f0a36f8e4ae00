// Child processes for tests that need a second process on the same machine: the test program starts
// itself with "--child NAME ARGS..." and runs the action registered under NAME.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

using ChildAction = std::function<int(const std::vector<std::string>& args)>;

bool RegisterChildAction(const std::string& name, ChildAction action);

// Runs the action in a new process of this test program (same environment) and waits for it;
// returns its exit code, or -1 when it could not run.
int RunChild(const std::string& name, const std::vector<std::string>& args = {});

// Starts the action without waiting; Wait() returns its exit code.
class CChildProcess {
public:
    CChildProcess(const std::string& name, const std::vector<std::string>& args = {});
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;
    int Pid() const { return m_pid; }
    int Wait();

private:
    int m_pid = -1;
    int m_exitCode = -1;
};

} // namespace testing_support

// FLIPDECK_CHILD_ACTION(name) { ...; return 0; } with `args` in scope.
#define FLIPDECK_CHILD_ACTION(name)                                                                          \
    static int ChildAction_##name(const std::vector<std::string>& args);                                    \
    static const bool g_childAction_##name = ::testing_support::RegisterChildAction(#name, ChildAction_##name); \
    static int ChildAction_##name([[maybe_unused]] const std::vector<std::string>& args)
