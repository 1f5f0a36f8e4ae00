// The screen channel: a Unix socket in the machine folder, served by a detached layer thread that turns
// each request into the desktop's input calls or a power setting's change.
#include "platform/window/ScreenChannel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cstring>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/internal.h"
#include "platform/window/PowerNotify.h"

namespace platform::desktop {

namespace {

const char kSocketName[] = "screen.sock";
const size_t kMaxRequest = 256;
const int kRequestTimeoutSeconds = 5;
const DWORD kSettleTimeoutMs = 5000;

// A file descriptor, closed with its owner.
class CDescriptor {
public:
    explicit CDescriptor(int fd = -1) : m_fd(fd) {}
    ~CDescriptor() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    CDescriptor(CDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    CDescriptor& operator=(CDescriptor&&) = delete;
    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

// The socket's address through the folder's descriptor, so that a deep machine folder does not exceed
// the address's length.
struct CSocketAddress {
    CDescriptor folder;
    sockaddr_un address{};

    explicit CSocketAddress(const std::filesystem::path& machineFolder)
        : folder(open(machineFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {
        address.sun_family = AF_UNIX;
        const std::string path = "/proc/self/fd/" + std::to_string(folder.Get()) + "/" + kSocketName;
        std::memcpy(address.sun_path, path.c_str(), std::min(path.size() + 1, sizeof(address.sun_path) - 1));
    }
    const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&address); }
    socklen_t Size() const { return sizeof(address); }
};

CDescriptor MakeSocket() {
    return CDescriptor(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
}

void SetTimeouts(int fd) {
    const timeval timeout{kRequestTimeoutSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
}

bool SendAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

std::string ReadLine(int fd) {
    std::string line;
    char c = 0;
    while (line.size() < kMaxRequest && recv(fd, &c, 1, 0) == 1 && c != '\n') {
        line += c;
    }
    return line;
}

std::string ReadAll(int fd) {
    std::string data;
    char buffer[65536];
    ssize_t n = 0;
    while ((n = recv(fd, buffer, sizeof(buffer), 0)) > 0) {
        data.append(buffer, static_cast<size_t>(n));
    }
    return data;
}

// The request's whole words as integers; nothing when a word is not one.
std::optional<std::vector<int>> ParseNumbers(std::istringstream& words) {
    std::vector<int> numbers;
    std::string word;
    while (words >> word) {
        int value = 0;
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (error != std::errc() || end != word.data() + word.size()) {
            return std::nullopt;
        }
        numbers.push_back(value);
    }
    return numbers;
}

std::string ScreenAnswer() {
    const CScreenImage screen = ComposeScreen();
    std::string answer = "ok " + std::to_string(screen.width) + " " + std::to_string(screen.height) + "\n";
    const size_t header = answer.size();
    answer.resize(header + screen.pixels.size() * 4);
    for (size_t i = 0; i < screen.pixels.size(); ++i) {
        for (size_t byte = 0; byte < 4; ++byte) {
            answer[header + i * 4 + byte] = static_cast<char>((screen.pixels[i] >> (8 * byte)) & 0xFF);
        }
    }
    return answer;
}

// The input a request asks for; nothing when it is not one.
std::function<void()> InputAction(const std::string& verb, const std::vector<int>& n) {
    if ((verb == "move" || verb == "click") && n.size() == 2) {
        const POINT point{n[0], n[1]};
        return verb == "move" ? std::function<void()>([point] { MoveMouse(point); })
                              : std::function<void()>([point] { Click(point); });
    }
    if (verb == "wheel" && n.size() == 1) {
        return [delta = n[0]] {
            POINT cursor{};
            GetCursorPos(&cursor);
            Wheel(cursor, delta);
        };
    }
    if (verb == "key" && n.size() == 1 && n[0] > 0 && n[0] < 256) {
        return [vk = static_cast<BYTE>(n[0])] { PressKey(vk); };
    }
    return nullptr;
}

struct SPowerSetting {
    const char* name;
    GUID guid;
    DWORD maximum;
};

const SPowerSetting kPowerSettings[] = {
    {"source", GUID_ACDC_POWER_SOURCE, 1},
    {"battery", GUID_BATTERY_PERCENTAGE_REMAINING, 100},
    {"monitor", GUID_MONITOR_POWER_ON, 1},
};

// The power setting's change the words after "power" ask for; nothing when they are not one.
std::function<void()> PowerAction(std::istringstream& words) {
    std::string name;
    words >> name;
    const std::optional<std::vector<int>> numbers = ParseNumbers(words);
    if (!numbers || numbers->size() != 1 || numbers->front() < 0) {
        return nullptr;
    }
    const auto value = static_cast<DWORD>(numbers->front());
    for (const auto& setting : kPowerSettings) {
        if (name == setting.name && value <= setting.maximum) {
            return [guid = setting.guid, value] { NotifyPowerSettingChange(guid, value); };
        }
    }
    return nullptr;
}

// Acknowledged before it is delivered, as the program may end on it.
void RunAcknowledged(int client, const std::function<void()>& action) {
    if (!action) {
        SendAll(client, "error unknown request\n");
        return;
    }
    SendAll(client, "ok\n");
    action();
}

void ServeRequest(int client, const std::string& request) {
    std::istringstream words(request);
    std::string verb;
    words >> verb;
    if (verb == "power") {
        RunAcknowledged(client, PowerAction(words));
        return;
    }
    const std::optional<std::vector<int>> numbers = ParseNumbers(words);
    if (verb == "screen" && numbers && numbers->empty()) {
        WaitUntilSettled(kSettleTimeoutMs);
        SendAll(client, ScreenAnswer());
        return;
    }
    RunAcknowledged(client, numbers ? InputAction(verb, *numbers) : nullptr);
}

// The serving thread and its socket; stopped before the process ends, as a program's threads end
// before its exit runs.
struct CServing {
    std::mutex mutex;
    std::thread thread;
    int listener = -1;
    std::filesystem::path folder;
    std::atomic<bool> stopping = false;

    ~CServing() { Stop(); }

    void Stop() {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!thread.joinable()) {
            return;
        }
        stopping = true;
        // Wakes the accept; a request being served finishes within its time-outs.
        shutdown(listener, SHUT_RDWR);
        thread.join();
        const CSocketAddress address(folder);
        if (address.folder.Valid()) {
            unlinkat(address.folder.Get(), kSocketName, 0);
        }
    }
};

CServing& Serving() {
    static CServing serving;
    return serving;
}

void Serve(CDescriptor listener) {
    while (!Serving().stopping) {
        CDescriptor client(accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (client.Valid() && !Serving().stopping) {
            SetTimeouts(client.Get());
            ServeRequest(client.Get(), ReadLine(client.Get()));
        }
    }
}

bool SomeoneServes(const CSocketAddress& address) {
    const CDescriptor probe = MakeSocket();
    return probe.Valid() && connect(probe.Get(), address.Get(), address.Size()) == 0;
}

// The listening socket, taking over a socket file left behind by a program that ended.
CDescriptor Listen(const std::filesystem::path& folder) {
    const CSocketAddress address(folder);
    CDescriptor listener = MakeSocket();
    if (!address.folder.Valid() || !listener.Valid()) {
        return CDescriptor();
    }
    if (bind(listener.Get(), address.Get(), address.Size()) != 0) {
        if (errno != EADDRINUSE || SomeoneServes(address)) {
            return CDescriptor();
        }
        unlinkat(address.folder.Get(), kSocketName, 0);
        if (bind(listener.Get(), address.Get(), address.Size()) != 0) {
            return CDescriptor();
        }
    }
    return listen(listener.Get(), 8) == 0 ? std::move(listener) : CDescriptor();
}

} // namespace

bool ServeScreenChannel() {
    CServing& serving = Serving();
    const std::lock_guard<std::mutex> lock(serving.mutex);
    const std::filesystem::path folder = MachineFolderPath();
    if (serving.thread.joinable() || serving.stopping || !MachineExists(folder)) {
        return false;
    }
    CDescriptor listener = Listen(folder);
    if (!listener.Valid()) {
        return false;
    }
    serving.listener = listener.Get();
    serving.folder = folder;
    serving.thread = std::thread(Serve, std::move(listener));
    return true;
}

void StopScreenChannel() {
    Serving().Stop();
}

std::optional<std::string> RequestScreenChannel(const std::filesystem::path& folder,
                                                const std::string& request) {
    const CSocketAddress address(folder);
    const CDescriptor channel = MakeSocket();
    if (!address.folder.Valid() || !channel.Valid() ||
        connect(channel.Get(), address.Get(), address.Size()) != 0) {
        return std::nullopt;
    }
    // The answer waits for the screen to settle, which may take the program a while.
    const timeval timeout{2 * kRequestTimeoutSeconds + 5, 0};
    setsockopt(channel.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    if (!SendAll(channel.Get(), request + "\n")) {
        return std::nullopt;
    }
    shutdown(channel.Get(), SHUT_WR);
    return ReadAll(channel.Get());
}

std::optional<CScreenImage> ParseScreenAnswer(const std::string& answer) {
    const size_t end = answer.find('\n');
    std::istringstream header(answer.substr(0, end == std::string::npos ? 0 : end));
    std::string ok;
    CScreenImage screen;
    if (!(header >> ok >> screen.width >> screen.height) || ok != "ok" || screen.width <= 0 ||
        screen.height <= 0) {
        return std::nullopt;
    }
    const size_t count = static_cast<size_t>(screen.width) * static_cast<size_t>(screen.height);
    if (answer.size() - end - 1 != count * 4) {
        return std::nullopt;
    }
    screen.pixels.resize(count);
    const auto* bytes = reinterpret_cast<const unsigned char*>(answer.data() + end + 1);
    for (size_t i = 0; i < count; ++i) {
        screen.pixels[i] = static_cast<std::uint32_t>(bytes[i * 4]) |
                           static_cast<std::uint32_t>(bytes[i * 4 + 1]) << 8 |
                           static_cast<std::uint32_t>(bytes[i * 4 + 2]) << 16 |
                           static_cast<std::uint32_t>(bytes[i * 4 + 3]) << 24;
    }
    return screen;
}

} // namespace platform::desktop
