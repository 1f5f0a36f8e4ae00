#include "platform/internal.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cwctype>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/files/FileSystem.h"

namespace platform {

namespace fs = std::filesystem;

// ---- Text ----

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<char32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring FromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t c = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
        } else {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        if (i + static_cast<size_t>(extra) >= text.size() && extra > 0) {
            out += L'\xFFFD';
            break;
        }
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            const auto cont = static_cast<unsigned char>(text[i + k]);
            if ((cont & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            c = (c << 6) | (cont & 0x3F);
        }
        if (!valid) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(c);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

std::wstring FoldCase(std::wstring_view text) {
    std::wstring out(text);
    for (auto& c : out) {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return out;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

// ---- Machine folder ----

fs::path MachineFolderPath() {
    if (const char* explicitFolder = std::getenv("FLIPDECK_MACHINE"); explicitFolder && *explicitFolder) {
        return fs::path(explicitFolder);
    }
    if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome && *dataHome) {
        return fs::path(dataHome) / "flipdeckex" / "machine";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "flipdeckex" / "machine";
}

bool MachineExists(const fs::path& folder) {
    std::error_code ec;
    return fs::is_regular_file(folder / "facts.json", ec);
}

fs::path MachineFolder() {
    fs::path folder = MachineFolderPath();
    if (!MachineExists(folder)) {
        static std::mutex provisioning;
        std::lock_guard guard(provisioning);
        if (!MachineExists(folder)) {
            ProvisionMachine(folder, kDefaultProfile, false, nullptr);
        }
    }
    return folder;
}

bool ProvisionMachine(const fs::path& folder, const std::string& profile, bool force, std::string* error) {
    using ProvisionFn = bool (*)(const char*, const char*, bool, char*, size_t);
    const fs::path library = PlatformLibraryDirectory() / "libflipdeck_machine.so";
    void* module = dlopen(library.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!module) {
        if (error) {
            *error = std::string("cannot load the machine library: ") + dlerror();
        }
        return false;
    }
    auto provision = reinterpret_cast<ProvisionFn>(dlsym(module, "FlipdeckMachineProvision"));
    if (!provision) {
        if (error) {
            *error = "the machine library has no FlipdeckMachineProvision";
        }
        return false;
    }
    char message[1024] = {};
    const bool ok = provision(folder.c_str(), profile.c_str(), force, message, sizeof(message));
    if (!ok && error) {
        *error = message;
    }
    return ok;
}

namespace {

struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
    bool operator==(const FileStamp& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
    }
};

FileStamp StampOf(const fs::path& file) {
    FileStamp stamp;
    struct stat info {};
    if (stat(file.c_str(), &info) == 0) {
        stamp.device = info.st_dev;
        stamp.inode = info.st_ino;
        stamp.size = info.st_size;
        stamp.modified = info.st_mtim;
    }
    return stamp;
}

std::string IsoTimeNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms));
    return text;
}

} // namespace

nlohmann::json MachineFacts() {
    static std::mutex cacheLock;
    static fs::path cachedFile;
    static FileStamp cachedStamp;
    static nlohmann::json cachedFacts = nlohmann::json::object();

    const fs::path file = MachineFolder() / "facts.json";
    const FileStamp stamp = StampOf(file);
    std::lock_guard guard(cacheLock);
    if (file != cachedFile || !(stamp == cachedStamp)) {
        cachedFacts = nlohmann::json::object();
        if (auto text = ReadWholeFile(file)) {
            auto parsed = nlohmann::json::parse(*text, nullptr, false);
            if (parsed.is_object()) {
                cachedFacts = std::move(parsed);
            }
        }
        cachedFile = file;
        cachedStamp = stamp;
    }
    return cachedFacts;
}

nlohmann::json MachineFact(std::string_view pointer) {
    const nlohmann::json facts = MachineFacts();
    try {
        const nlohmann::json::json_pointer where{std::string(pointer)};
        return facts.contains(where) ? facts.at(where) : nlohmann::json();
    } catch (const nlohmann::json::exception&) {
        return nlohmann::json();
    }
}

EFactUpdate UpdateMachineFact(const std::string& pointer, const nlohmann::json& value) {
    const fs::path folder = MachineFolder();
    const CFileLock lock(folder / "locks" / "facts.lock");
    const fs::path file = folder / "facts.json";
    nlohmann::json facts = nlohmann::json::parse(ReadWholeFile(file).value_or(""), nullptr, false);
    if (!lock.IsHeld() || !facts.is_object()) {
        return EFactUpdate::Failed;
    }
    try {
        const nlohmann::json::json_pointer where(pointer);
        if (facts.contains(where) && facts.at(where) == value) {
            return EFactUpdate::Unchanged;
        }
        facts[where] = value;
    } catch (const nlohmann::json::exception&) {
        return EFactUpdate::Failed;
    }
    return ReplaceFileAtomically(file, facts.dump(2) + "\n") ? EFactUpdate::Changed : EFactUpdate::Failed;
}

void AppendMachineEvent(std::string_view event, const nlohmann::json& fields) {
    nlohmann::json record = nlohmann::json::object();
    record["time"] = IsoTimeNow();
    record["pid"] = static_cast<int>(getpid());
    record["event"] = std::string(event);
    if (fields.is_object()) {
        for (const auto& [key, value] : fields.items()) {
            record[key] = value;
        }
    }
    const std::string line = record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    const fs::path file = MachineFolder() / "events.jsonl";
    const int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    // One write of the whole line: appends from several processes never interleave within a record.
    const ssize_t written = write(fd, line.data(), line.size());
    (void)written;
    close(fd);
}

std::wstring ProcessImagePath() {
    if (const char* image = std::getenv("FLIPDECK_IMAGE_PATH"); image && *image) {
        return PathForProgram(FromUtf8(image));
    }
    const nlohmann::json path = MachineFact("/program/path");
    return path.is_string() ? PathForProgram(FromUtf8(path.get<std::string>())) : std::wstring();
}

fs::path ExecutableDirectory() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : self.parent_path();
}

fs::path PlatformLibraryDirectory() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&PlatformLibraryDirectory), &info) && info.dli_fname) {
        std::error_code ec;
        const fs::path library = fs::canonical(info.dli_fname, ec);
        if (!ec) {
            return library.parent_path();
        }
    }
    return ExecutableDirectory();
}

// ---- Files ----

CFileLock::CFileLock(const fs::path& lockFile) {
    std::error_code ec;
    fs::create_directories(lockFile.parent_path(), ec);
    m_fd = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd >= 0 && flock(m_fd, LOCK_EX) != 0) {
        close(m_fd);
        m_fd = -1;
    }
}

CFileLock::~CFileLock() {
    if (m_fd >= 0) {
        flock(m_fd, LOCK_UN);
        close(m_fd);
    }
}

bool ReplaceFileAtomically(const fs::path& file, std::string_view content) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    fs::path temporary = file;
    temporary += ".tmp." + std::to_string(getpid()) + "." +
                 std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id()));
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n <= 0) {
            close(fd);
            unlink(temporary.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    // The rename is atomic: a reader or a crash sees the old content or the new, never a torn file.
    close(fd);
    if (rename(temporary.c_str(), file.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::optional<std::string> ReadWholeFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

} // namespace platform
