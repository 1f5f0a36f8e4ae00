// The machine's process list: the calling process, the live processes of the program that registered
// themselves in the machine folder, and the simulated processes of the profile.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/base.h"

namespace platform {

struct CProcessRecord {
    DWORD id = 0;
    std::wstring image; // Windows path; may be empty for a simulated process
    std::wstring exeFile;
    DWORD parentId = 0;
    DWORD threads = 1;
    bool simulated = false;
    bool accessDenied = false;
    unsigned long long startTime = 0; // of a real process: its Linux start time, to tell a reused pid apart
};

// Simulated processes have ids above every Linux pid.
inline constexpr unsigned long long kLastLinuxPid = 4194304;

std::vector<CProcessRecord> ListMachineProcesses();
std::optional<CProcessRecord> FindMachineProcess(DWORD id);

// The Linux start time of a running process; nullopt when it does not exist or has ended (a zombie).
std::optional<unsigned long long> RunningStartTime(DWORD pid);

// Makes the calling process visible to the other processes of the machine, with its Windows image path.
void RegisterCurrentProcess();
// Records the exit code of a registered process (the calling one at its end, or one this process ends),
// so that GetExitCodeProcess can answer it for a while after the process is gone.
void RecordProcessExitCode(DWORD pid, unsigned long long startTime, DWORD exitCode);
void RecordCurrentProcessExit(DWORD exitCode);
std::optional<DWORD> RecordedExitCode(DWORD pid, unsigned long long startTime);

} // namespace platform
