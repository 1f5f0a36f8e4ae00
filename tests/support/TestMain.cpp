// The main of every test program: runs the tests, or one child action when started with --child.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "tests/support/ChildProcess.h"

extern char** environ;

namespace testing_support {

namespace {

std::map<std::string, ChildAction>& Actions() {
    static std::map<std::string, ChildAction> actions;
    return actions;
}

int StartSelf(const std::string& name, const std::vector<std::string>& args) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::vector<std::string> words = {self, "--child", name};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    return pid;
}

int WaitFor(int pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

bool RegisterChildAction(const std::string& name, ChildAction action) {
    Actions()[name] = std::move(action);
    return true;
}

int RunChild(const std::string& name, const std::vector<std::string>& args) {
    return WaitFor(StartSelf(name, args));
}

CChildProcess::CChildProcess(const std::string& name, const std::vector<std::string>& args)
    : m_pid(StartSelf(name, args)) {}

CChildProcess::~CChildProcess() { Wait(); }

int CChildProcess::Wait() {
    if (m_pid > 0) {
        m_exitCode = WaitFor(m_pid);
        m_pid = -1;
    }
    return m_exitCode;
}

} // namespace testing_support

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
        auto& actions = testing_support::Actions();
        const auto action = actions.find(argv[2]);
        if (action == actions.end()) {
            return 127;
        }
        return action->second(std::vector<std::string>(argv + 3, argv + argc));
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
