// The test's X server: Xvfb started with -displayfd (it picks a free display and writes its number when
// it is ready) and ended with the test, a connection of the test's own, and child programs run with
// posix_spawnp.
#include "tests/platform/XServerTestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>

extern char** environ;

namespace x_test {

namespace {

constexpr int kStartTimeoutMs = 30000;

Display* Connection(void* display) {
    return static_cast<Display*>(display);
}

// X errors (a window gone meanwhile) fail the call that caused them instead of ending the process.
int IgnoreError(Display*, XErrorEvent*) {
    return 0;
}

pid_t Spawn(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

// The display number the server writes to the pipe once it accepts connections; empty when it does not.
std::string ReadDisplayNumber(int fd) {
    std::string number;
    pollfd wait{fd, POLLIN, 0};
    while (poll(&wait, 1, kStartTimeoutMs) > 0) {
        char c = 0;
        if (read(fd, &c, 1) != 1 || c == '\n') {
            break;
        }
        number += c;
    }
    return number;
}

// The program's path on the PATH; empty when it is not there.
std::filesystem::path FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    const std::string folders = path ? path : "";
    for (size_t start = 0; start <= folders.size();) {
        const size_t end = std::min(folders.find(':', start), folders.size());
        const std::filesystem::path candidate =
            std::filesystem::path(folders.substr(start, end - start)) / program;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

} // namespace

bool CXServer::IsInstalled() {
    return !FindOnPath("Xvfb").empty();
}

// The server ends with the thread that started it, even when the test process is killed.
CXServer::CXServer() {
    const std::filesystem::path server = FindOnPath("Xvfb");
    int fds[2];
    if (server.empty() || pipe(fds) != 0) {
        return;
    }
    // Big enough that the presenter's window (the emulated screen) lies wholly on it.
    const std::string displayFd = std::to_string(fds[1]);
    const char* const argv[] = {
        "Xvfb", "-displayfd", displayFd.c_str(), "-screen", "0", "3200x1600x24", "-nolisten", "tcp", nullptr};
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid == 0) {
        close(fds[0]);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() == parent) {
            execv(server.c_str(), const_cast<char* const*>(argv));
        }
        _exit(127);
    }
    close(fds[1]);
    const std::string number = m_pid > 0 ? ReadDisplayNumber(fds[0]) : std::string();
    close(fds[0]);
    if (number.empty()) {
        return;
    }
    m_strDisplay = ":" + number;
    XSetErrorHandler(IgnoreError);
    m_pDisplay = XOpenDisplay(m_strDisplay.c_str());
}

CXServer::~CXServer() {
    if (m_pDisplay) {
        XCloseDisplay(Connection(m_pDisplay));
    }
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

XWindowId CXServer::FindViewableWindow(const std::string& title) {
    Display* display = Connection(m_pDisplay);
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (!display || !XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        return 0;
    }
    XWindowId found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        XWindowAttributes attributes{};
        if (XFetchName(display, children[i], &name) && name) {
            if (title == name && XGetWindowAttributes(display, children[i], &attributes) &&
                attributes.map_state == IsViewable) {
                found = children[i];
            }
            XFree(name);
        }
    }
    if (children) {
        XFree(children);
    }
    return found;
}

CXImage CXServer::Capture(XWindowId window) {
    Display* display = Connection(m_pDisplay);
    XWindowAttributes attributes{};
    CXImage image;
    if (!display || !XGetWindowAttributes(display, window, &attributes)) {
        return image;
    }
    XImage* pixels = XGetImage(display, window, 0, 0, static_cast<unsigned int>(attributes.width),
                               static_cast<unsigned int>(attributes.height), AllPlanes, ZPixmap);
    // The screen's 24-bit true colour is 0x00RRGGBB already.
    if (pixels && pixels->red_mask == 0xFF0000 && pixels->green_mask == 0xFF00 && pixels->blue_mask == 0xFF) {
        image.width = attributes.width;
        image.height = attributes.height;
        image.pixels.reserve(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                image.pixels.push_back(static_cast<std::uint32_t>(XGetPixel(pixels, x, y) & 0xFFFFFFu));
            }
        }
    }
    if (pixels) {
        XDestroyImage(pixels);
    }
    return image;
}

void CXServer::SetFocus(XWindowId window) {
    if (Display* display = Connection(m_pDisplay)) {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XSync(display, False);
    }
}

XWindowId CXServer::MakeOtherWindow() {
    Display* display = Connection(m_pDisplay);
    if (!display) {
        return 0;
    }
    const ::Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 100, 100, 0, 0, 0);
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    // Focus goes only to a viewable window.
    XEvent event{};
    do {
        XNextEvent(display, &event);
    } while (event.type != MapNotify);
    return window;
}

int RunProgram(const std::vector<std::string>& arguments) {
    const pid_t pid = Spawn(arguments);
    int status = 0;
    if (pid < 0) {
        return -1;
    }
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace x_test
