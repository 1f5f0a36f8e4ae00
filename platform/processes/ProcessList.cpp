// The machine's process list. A process of the program registers itself as processes/<pid>.json in the
// machine folder: its Windows image path and its Linux start time, which tells a reused pid apart.
// Entries of ended processes are skipped and removed; one that holds an exit code stays an hour, so that
// GetExitCodeProcess can still answer it.
#include "platform/processes/ProcessList.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>

#include "platform/files/FileSystem.h"
#include "platform/internal.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

constexpr auto kExitCodeRetention = std::chrono::hours(1);

struct CProcStat {
    char state = '?';
    DWORD parentId = 0;
    DWORD threads = 1;
    unsigned long long startTime = 0;
};

// /proc/<pid>/stat: the fields after the command name, which is in parentheses and may hold anything.
std::optional<CProcStat> ReadProcStat(DWORD pid) {
    const auto text = ReadWholeFile(fs::path("/proc") / std::to_string(pid) / "stat");
    const size_t nameEnd = text ? text->rfind(')') : std::string::npos;
    if (nameEnd == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(text->substr(nameEnd + 1));
    CProcStat stat;
    std::string skipped;
    fields >> stat.state >> stat.parentId;
    // Fields 5 to 19, then the thread count (20), one more (21) and the start time (22).
    for (int field = 5; field <= 19; ++field) {
        fields >> skipped;
    }
    fields >> stat.threads >> skipped >> stat.startTime;
    if (!fields) {
        return std::nullopt;
    }
    return stat;
}

bool HasEnded(char state) {
    return state == 'Z' || state == 'X' || state == 'x';
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

fs::path RegistrationFolder() {
    return MachineFolder() / "processes";
}

fs::path EntryFile(DWORD pid) {
    return RegistrationFolder() / (std::to_string(pid) + ".json");
}

fs::path LockFile() {
    return RegistrationFolder() / "processes.lock";
}

struct CEntry {
    DWORD pid = 0;
    unsigned long long startTime = 0;
    std::wstring image;
    std::optional<DWORD> exitCode;
};

std::optional<CEntry> ReadEntry(const fs::path& file) {
    const auto text = ReadWholeFile(file);
    const auto json = text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
    if (!json.is_object() || !json.value("pid", nlohmann::json()).is_number_unsigned() ||
        !json.value("startTime", nlohmann::json()).is_number_unsigned() ||
        !json.value("image", nlohmann::json()).is_string()) {
        return std::nullopt;
    }
    CEntry entry;
    entry.pid = json["pid"].get<DWORD>();
    entry.startTime = json["startTime"].get<unsigned long long>();
    entry.image = FromUtf8(json["image"].get<std::string>());
    if (json.value("exitCode", nlohmann::json()).is_number_unsigned()) {
        entry.exitCode = json["exitCode"].get<DWORD>();
    }
    return entry;
}

void WriteEntry(const CEntry& entry) {
    nlohmann::json json = {
        {"pid", entry.pid}, {"startTime", entry.startTime}, {"image", ToUtf8(entry.image)}};
    if (entry.exitCode) {
        json["exitCode"] = *entry.exitCode;
    }
    ReplaceFileAtomically(EntryFile(entry.pid), json.dump(2) + "\n");
}

bool IsEntryRunning(const CEntry& entry) {
    const auto running = RunningStartTime(entry.pid);
    return running && *running == entry.startTime;
}

bool IsExpired(const fs::path& file, const CEntry& entry) {
    std::error_code ec;
    const auto written = fs::last_write_time(file, ec);
    return !entry.exitCode || ec || fs::file_time_type::clock::now() - written > kExitCodeRetention;
}

// Removes an ended entry, looking again under the lock: the pid may have registered anew meanwhile.
void RemoveEndedEntry(const fs::path& file) {
    CFileLock lock(LockFile());
    const auto entry = ReadEntry(file);
    if (entry && !IsEntryRunning(*entry) && IsExpired(file, *entry)) {
        std::error_code ec;
        fs::remove(file, ec);
    }
}

CProcessRecord RealRecord(DWORD pid, std::wstring image, const CProcStat& stat) {
    CProcessRecord record;
    record.id = pid;
    record.exeFile = FileNameOf(image);
    record.image = std::move(image);
    record.parentId = stat.parentId;
    record.threads = stat.threads;
    record.startTime = stat.startTime;
    return record;
}

void AddRegisteredProcesses(std::vector<CProcessRecord>& records, DWORD self) {
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(RegistrationFolder(), ec)) {
        if (item.path().extension() != ".json") {
            continue;
        }
        const auto entry = ReadEntry(item.path());
        if (!entry || item.path().stem() != std::to_string(entry->pid)) {
            continue;
        }
        const auto stat = ReadProcStat(entry->pid);
        if (!stat || HasEnded(stat->state) || stat->startTime != entry->startTime) {
            if (IsExpired(item.path(), *entry)) {
                RemoveEndedEntry(item.path());
            }
            continue;
        }
        if (entry->pid != self) {
            records.push_back(RealRecord(entry->pid, entry->image, *stat));
        }
    }
}

// The profile's simulated processes: {"name", "path", "pid", "access": "denied"|"allowed"}; an entry
// without a name or with an id a Linux process could have is ignored.
void AddSimulatedProcesses(std::vector<CProcessRecord>& records) {
    const nlohmann::json listed = MachineFact("/processes");
    if (!listed.is_array()) {
        return;
    }
    for (const auto& process : listed) {
        if (!process.is_object() || !process.value("name", nlohmann::json()).is_string() ||
            !process.value("pid", nlohmann::json()).is_number_unsigned()) {
            continue;
        }
        const auto pid = process["pid"].get<unsigned long long>();
        const bool taken = std::any_of(records.begin(), records.end(),
                                       [pid](const CProcessRecord& r) { return r.id == pid; });
        if (pid <= kLastLinuxPid || pid > 0xFFFFFFFFull || taken) {
            continue;
        }
        CProcessRecord record;
        record.id = static_cast<DWORD>(pid);
        record.exeFile = FromUtf8(process["name"].get<std::string>());
        const nlohmann::json path = process.value("path", nlohmann::json());
        record.image = path.is_string() ? PathForProgram(FromUtf8(path.get<std::string>())) : std::wstring();
        record.simulated = true;
        record.accessDenied = process.value("access", nlohmann::json()) == "denied";
        records.push_back(std::move(record));
    }
}

} // namespace

std::optional<unsigned long long> RunningStartTime(DWORD pid) {
    const auto stat = ReadProcStat(pid);
    if (!stat || HasEnded(stat->state)) {
        return std::nullopt;
    }
    return stat->startTime;
}

std::vector<CProcessRecord> ListMachineProcesses() {
    std::vector<CProcessRecord> records;
    AddSimulatedProcesses(records);
    const auto self = static_cast<DWORD>(getpid());
    if (const auto stat = ReadProcStat(self)) {
        records.push_back(RealRecord(self, ProcessImagePath(), *stat));
    }
    AddRegisteredProcesses(records, self);
    std::stable_sort(records.begin(), records.end(), [](const CProcessRecord& a, const CProcessRecord& b) {
        return a.simulated != b.simulated ? a.simulated : !a.simulated && a.id < b.id;
    });
    return records;
}

std::optional<CProcessRecord> FindMachineProcess(DWORD id) {
    for (auto& record : ListMachineProcesses()) {
        if (record.id == id) {
            return std::move(record);
        }
    }
    return std::nullopt;
}

void RegisterCurrentProcess() {
    const auto self = static_cast<DWORD>(getpid());
    const auto startTime = RunningStartTime(self);
    if (!startTime) {
        return;
    }
    CFileLock lock(LockFile());
    WriteEntry({self, *startTime, ProcessImagePath(), std::nullopt});
}

void RecordProcessExitCode(DWORD pid, unsigned long long startTime, DWORD exitCode) {
    CFileLock lock(LockFile());
    auto entry = ReadEntry(EntryFile(pid));
    if (entry && entry->startTime == startTime) {
        entry->exitCode = exitCode;
        WriteEntry(*entry);
    }
}

void RecordCurrentProcessExit(DWORD exitCode) {
    const auto self = static_cast<DWORD>(getpid());
    if (const auto startTime = RunningStartTime(self)) {
        RecordProcessExitCode(self, *startTime, exitCode);
    }
}

std::optional<DWORD> RecordedExitCode(DWORD pid, unsigned long long startTime) {
    const auto entry = ReadEntry(EntryFile(pid));
    return entry && entry->startTime == startTime ? entry->exitCode : std::nullopt;
}

} // namespace platform
