// MiniDumpWriteDump: a minidump of the calling process in the system's file layout.
//
// The usual caller is a fault handler, where the heap or a lock may be broken by the fault. So the dump
// itself is written with system calls only (pwrite, and read of /proc/self/maps), from static storage,
// one dump at a time. It holds every thread of the process: the others are held still while it is
// written, as the system suspends them. Only the machine's facts (read beforehand, see PrepareMiniDumps),
// the file handle's lookup and the event record written after the dump use the layer's ordinary helpers:
// a fault that broke those can lose the event, not the dump already written.
#include <cpuid.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/faults/FaultHandling.h"
#include "platform/faults/ProcessMaps.h"
#include "platform/faults/ThreadStops.h"
#include "platform/files/FileHandles.h"
#include "platform/internal.h"

namespace {

constexpr size_t kMaxStreams = 5;
constexpr size_t kMaxThreads = 256;
constexpr size_t kMaxModules = 1024;
constexpr size_t kMaxCallbackRanges = 16;
constexpr size_t kMaxPath = 4096;
constexpr uintptr_t kStackRedZone = 128;
constexpr uintptr_t kMaxStackBytes = 512 * 1024;
constexpr RVA kFirstStreamRva = sizeof(MINIDUMP_HEADER) + kMaxStreams * sizeof(MINIDUMP_DIRECTORY);
constexpr ULONG kDefaultModuleFlags = ModuleWriteModule | ModuleWriteMiscRecord | ModuleWriteCvRecord;
constexpr ULONG kDefaultThreadFlags = ThreadWriteThread | ThreadWriteStack | ThreadWriteContext;
constexpr char32_t kReplacementCharacter = 0xFFFD;

// What the system-information stream tells, read once outside any fault.
struct CDumpFacts {
    ULONG32 majorVersion = 10;
    ULONG32 minorVersion = 0;
    ULONG32 buildNumber = 0;
    BYTE processors = 1;
    USHORT processorLevel = 0;
    USHORT processorRevision = 0;
    ULONG32 vendor[3] = {};
    ULONG32 versionInformation = 0;
    ULONG32 featureInformation = 0;
    ULONG32 extendedFeatures = 0;
};

ULONG32 NumberFact(const char* pointer, ULONG32 fallback) {
    const nlohmann::json fact = platform::MachineFact(pointer);
    return fact.is_number_unsigned() ? fact.get<ULONG32>() : fallback;
}

void ReadProcessorFacts(CDumpFacts& facts) {
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    if (__get_cpuid(0, &a, &b, &c, &d)) {
        facts.vendor[0] = b;
        facts.vendor[1] = d;
        facts.vendor[2] = c;
    }
    if (__get_cpuid(1, &a, &b, &c, &d)) {
        facts.versionInformation = a;
        facts.featureInformation = d;
        const unsigned baseFamily = (a >> 8) & 0xF;
        const unsigned family = baseFamily == 0xF ? baseFamily + ((a >> 20) & 0xFF) : baseFamily;
        const unsigned extendedModel = baseFamily == 0x6 || baseFamily == 0xF ? ((a >> 16) & 0xF) << 4 : 0;
        facts.processorLevel = static_cast<USHORT>(family);
        facts.processorRevision = static_cast<USHORT>((extendedModel | ((a >> 4) & 0xF)) << 8 | (a & 0xF));
    }
    if (__get_cpuid(0x80000001, &a, &b, &c, &d)) {
        facts.extendedFeatures = d;
    }
}

CDumpFacts ReadDumpFacts() {
    CDumpFacts facts;
    facts.majorVersion = NumberFact("/windows/major", facts.majorVersion);
    facts.minorVersion = NumberFact("/windows/minor", facts.minorVersion);
    facts.buildNumber = NumberFact("/windows/build", facts.buildNumber);
    facts.processors = static_cast<BYTE>(std::clamp<long>(sysconf(_SC_NPROCESSORS_ONLN), 1, 255));
    ReadProcessorFacts(facts);
    return facts;
}

const CDumpFacts& DumpFacts() {
    static const CDumpFacts facts = ReadDumpFacts();
    return facts;
}

// The next character of a UTF-8 text; U+FFFD for a malformed sequence.
char32_t NextCharacter(std::string_view& text) {
    const auto lead = static_cast<unsigned char>(text.front());
    text.remove_prefix(1);
    const size_t trailing = lead < 0x80           ? 0
                            : (lead >> 5) == 0x6  ? 1
                            : (lead >> 4) == 0xE  ? 2
                            : (lead >> 3) == 0x1E ? 3
                                                  : 4;
    if (trailing == 4 || trailing > text.size()) {
        return lead < 0x80 ? lead : kReplacementCharacter;
    }
    char32_t character = trailing == 0 ? lead : lead & (0x3F >> trailing);
    for (size_t i = 0; i < trailing; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) {
            return kReplacementCharacter;
        }
        character = character << 6 | (next & 0x3F);
    }
    text.remove_prefix(trailing);
    return character > 0x10FFFF ? kReplacementCharacter : character;
}

// A module's path as the callback sees it (wide) and as the dump stores it (UTF-16), with backslashes
// as every path the program is given.
struct CModuleName {
    wchar_t wide[kMaxPath] = {};
    char16_t utf16[kMaxPath * 2] = {};
    size_t utf16Length = 0;

    void Assign(std::string_view path) {
        size_t wideLength = 0;
        utf16Length = 0;
        while (!path.empty() && wideLength + 1 < kMaxPath) {
            const char32_t next = NextCharacter(path);
            const char32_t character = next == U'/' ? U'\\' : next;
            wide[wideLength++] = static_cast<wchar_t>(character);
            if (character >= 0x10000) {
                utf16[utf16Length++] = static_cast<char16_t>(0xD800 + ((character - 0x10000) >> 10));
                utf16[utf16Length++] = static_cast<char16_t>(0xDC00 + ((character - 0x10000) & 0x3FF));
            } else {
                utf16[utf16Length++] = static_cast<char16_t>(character);
            }
        }
        wide[wideLength] = L'\0';
        utf16[utf16Length] = u'\0';
    }
};

// The modules are the ELF files mapped from their start; one module spans the consecutive mappings of
// its file.
struct CModuleSpan {
    bool active = false;
    uintptr_t begin = 0;
    uintptr_t end = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    char path[kMaxPath] = {};
    size_t pathLength = 0;

    bool Continues(const platform::CMapping& mapping) const {
        return active && mapping.inode == inode && mapping.device == device;
    }

    void Start(const platform::CMapping& mapping) {
        active = mapping.inode != 0 && mapping.offset == 0 && mapping.readable &&
                 mapping.path.starts_with('/') &&
                 std::memcmp(reinterpret_cast<const void*>(mapping.begin),
                             "\x7f"
                             "ELF",
                             4) == 0;
        if (active) {
            begin = mapping.begin;
            end = mapping.end;
            device = mapping.device;
            inode = mapping.inode;
            pathLength = std::min(mapping.path.size(), kMaxPath - 1);
            mapping.path.copy(path, pathLength);
        }
    }
};

struct CDumpRequest {
    int descriptor;
    HANDLE process;
    DWORD processId;
    const MINIDUMP_EXCEPTION_INFORMATION* exception;
    const MINIDUMP_CALLBACK_INFORMATION* callback;
};

// One thread of the dump: its registers, the used part of its stack and what the callback said of it.
struct CDumpThread {
    DWORD id = 0;
    bool hasContext = false;
    CONTEXT context{};
    uintptr_t stackBegin = 0;
    uintptr_t stackEnd = 0;
    bool included = false;
    ULONG flags = 0;
};

class CDumpWriter {
public:
    constexpr CDumpWriter() = default;
    CDumpWriter(const CDumpWriter&) = delete;
    CDumpWriter& operator=(const CDumpWriter&) = delete;

    // True when the whole dump was written.
    bool Write(const CDumpRequest& request) {
        Start(request);
        PrepareThreads();
        WriteSystemInfo();
        WriteThreadList();
        WriteException();
        WriteModuleList();
        AddCallbackMemory();
        WriteMemoryList();
        WriteHeader();
        m_maps.Close();
        return !m_failed;
    }

    DWORD ThreadId() const { return m_exceptionThreadId; }
    RVA Size() const { return m_end; }

private:
    void Start(const CDumpRequest& request) {
        m_request = request;
        m_end = kFirstStreamRva;
        m_failed = false;
        m_streamCount = 0;
        m_moduleCount = 0;
        m_rangeCount = 0;
        m_contextLocation = {};
        m_input = {};
        m_input.ProcessId = request.processId;
        m_input.ProcessHandle = request.process;
    }

    // Asks the callback; without one everything but extra memory is included.
    bool Ask(ULONG type) {
        const MINIDUMP_CALLBACK_INFORMATION* callback = m_request.callback;
        if (!callback || !callback->CallbackRoutine) {
            return type != MemoryCallback;
        }
        m_input.CallbackType = type;
        return callback->CallbackRoutine(callback->CallbackParam, &m_input, &m_output) != FALSE;
    }

    void WriteAt(RVA rva, const void* data, size_t size) {
        const auto* bytes = static_cast<const char*>(data);
        while (size > 0 && !m_failed) {
            const ssize_t written = pwrite(m_request.descriptor, bytes, size, rva);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            m_failed = written <= 0;
            if (written > 0) {
                bytes += written;
                rva += static_cast<RVA>(written);
                size -= static_cast<size_t>(written);
            }
        }
    }

    // Appends data at the end of the file (aligned to 8 bytes unless it continues the previous data).
    RVA Append(const void* data, size_t size, bool aligned = true) {
        if (aligned) {
            m_end = (m_end + 7) & ~RVA{7};
        }
        const RVA rva = m_end;
        WriteAt(rva, data, size);
        m_end += static_cast<RVA>(size);
        return rva;
    }

    // Appends the process's memory as far as it can be read; the descriptor of what was written.
    MINIDUMP_MEMORY_DESCRIPTOR AppendMemory(uintptr_t address, size_t size) {
        m_end = (m_end + 7) & ~RVA{7};
        MINIDUMP_MEMORY_DESCRIPTOR descriptor{address, {0, m_end}};
        while (descriptor.Memory.DataSize < size) {
            const size_t done = descriptor.Memory.DataSize;
            // The kernel reads the memory: an unreadable page ends the range, it does not fault. The raw
            // system call, since a sanitizer's pwrite would check the very bytes it is meant to copy.
            const ssize_t written = syscall(SYS_pwrite64, m_request.descriptor, address + done, size - done,
                                            static_cast<off_t>(m_end + done));
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                break;
            }
            descriptor.Memory.DataSize += static_cast<ULONG32>(written);
        }
        m_end += descriptor.Memory.DataSize;
        return descriptor;
    }

    RVA AppendString(const char16_t* text, size_t length) {
        const auto bytes = static_cast<ULONG32>(length * sizeof(char16_t));
        const RVA rva = Append(&bytes, sizeof(bytes));
        Append(text, bytes + sizeof(char16_t), false);
        return rva;
    }

    void AddStream(ULONG32 type, RVA rva, size_t size) {
        m_directory[m_streamCount++] = {type, {static_cast<ULONG32>(size), rva}};
    }

    void AddRange(const MINIDUMP_MEMORY_DESCRIPTOR& range) {
        if (range.Memory.DataSize > 0 && m_rangeCount < std::size(m_ranges)) {
            m_ranges[m_rangeCount++] = range;
        }
    }

    // Every thread of the process, the others held still meanwhile: the exception's thread with the
    // exception's context, the calling thread with its own, the others with theirs when they stopped.
    void PrepareThreads() {
        const MINIDUMP_EXCEPTION_INFORMATION* exception = m_request.exception;
        const bool fromException =
            exception && exception->ExceptionPointers && exception->ExceptionPointers->ContextRecord;
        const DWORD self = GetCurrentThreadId();
        m_exceptionThreadId = fromException ? exception->ThreadId : self;
        m_threadCount = platform::StopOtherThreads(m_threadIds, kMaxThreads);
        if (std::find(m_threadIds, m_threadIds + m_threadCount, self) == m_threadIds + m_threadCount &&
            m_threadCount < kMaxThreads) {
            m_threadIds[m_threadCount++] = self;
        }
        for (size_t i = 0; i < m_threadCount; ++i) {
            CDumpThread& thread = m_threads[i];
            thread = {};
            thread.id = m_threadIds[i];
            if (fromException && thread.id == exception->ThreadId) {
                thread.context = *exception->ExceptionPointers->ContextRecord;
                thread.hasContext = true;
            } else if (thread.id == self) {
                platform::CaptureCurrentContext(thread.context);
                thread.hasContext = true;
            } else {
                thread.hasContext = platform::StoppedThreadContext(thread.id, thread.context);
            }
            PrepareThread(thread);
        }
        if (fromException) {
            m_exceptionContext = *exception->ExceptionPointers->ContextRecord;
        }
    }

    void PrepareThread(CDumpThread& thread) {
        if (thread.hasContext) {
            FindStack(static_cast<uintptr_t>(thread.context.Rsp), thread.stackBegin, thread.stackEnd);
        }
        m_input.IncludeThread = {thread.id};
        if (!Ask(IncludeThreadCallback)) {
            return;
        }
        m_input.Thread = {};
        m_input.Thread.ThreadId = thread.id;
        m_input.Thread.ThreadHandle = thread.id == GetCurrentThreadId() ? GetCurrentThread() : nullptr;
        m_input.Thread.Context = thread.context;
        m_input.Thread.SizeOfContext = sizeof(CONTEXT);
        m_input.Thread.StackBase = thread.stackEnd;
        m_input.Thread.StackEnd = thread.stackBegin;
        m_output = {};
        m_output.ThreadWriteFlags = kDefaultThreadFlags;
        thread.included = Ask(ThreadCallback) && (m_output.ThreadWriteFlags & ThreadWriteThread);
        thread.flags = m_output.ThreadWriteFlags;
    }

    // The used part of the stack that holds the stack pointer, from just below it (the red zone).
    void FindStack(uintptr_t stackPointer, uintptr_t& begin, uintptr_t& end) {
        begin = end = 0;
        platform::CMapping mapping;
        m_maps.Open();
        while (m_maps.Next(mapping)) {
            if (mapping.readable && mapping.Holds(stackPointer)) {
                begin = std::max(mapping.begin, stackPointer - std::min(stackPointer, kStackRedZone));
                end = std::min(mapping.end, begin + kMaxStackBytes);
                break;
            }
        }
    }

    void WriteSystemInfo() {
        const CDumpFacts& facts = DumpFacts();
        MINIDUMP_SYSTEM_INFO info{};
        info.ProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
        info.ProcessorLevel = facts.processorLevel;
        info.ProcessorRevision = facts.processorRevision;
        info.NumberOfProcessors = facts.processors;
        info.ProductType = VER_NT_WORKSTATION;
        info.MajorVersion = facts.majorVersion;
        info.MinorVersion = facts.minorVersion;
        info.BuildNumber = facts.buildNumber;
        info.PlatformId = VER_PLATFORM_WIN32_NT;
        info.CSDVersionRva = AppendString(u"", 0);
        std::copy(std::begin(facts.vendor), std::end(facts.vendor), info.Cpu.VendorId);
        info.Cpu.VersionInformation = facts.versionInformation;
        info.Cpu.FeatureInformation = facts.featureInformation;
        info.Cpu.AMDExtendedCpuFeatures = facts.extendedFeatures;
        AddStream(SystemInfoStream, Append(&info, sizeof(info)), sizeof(info));
    }

    void WriteThreadList() {
        ULONG32 count = 0;
        for (size_t i = 0; i < m_threadCount; ++i) {
            const CDumpThread& thread = m_threads[i];
            if (!thread.included) {
                continue;
            }
            MINIDUMP_THREAD& record = m_threadRecords[count++];
            record = {};
            record.ThreadId = thread.id;
            if ((thread.flags & ThreadWriteStack) && thread.stackEnd > thread.stackBegin) {
                record.Stack = AppendMemory(thread.stackBegin, thread.stackEnd - thread.stackBegin);
                AddRange(record.Stack);
            }
            if ((thread.flags & ThreadWriteContext) && thread.hasContext) {
                record.ThreadContext = {sizeof(CONTEXT), Append(&thread.context, sizeof(CONTEXT))};
                if (thread.id == m_exceptionThreadId) {
                    m_contextLocation = record.ThreadContext;
                }
            }
        }
        const RVA rva = Append(&count, sizeof(count));
        Append(m_threadRecords, count * sizeof(MINIDUMP_THREAD), false);
        AddStream(ThreadListStream, rva, sizeof(count) + count * sizeof(MINIDUMP_THREAD));
    }

    void WriteException() {
        const MINIDUMP_EXCEPTION_INFORMATION* exception = m_request.exception;
        if (!exception || !exception->ExceptionPointers || !exception->ExceptionPointers->ExceptionRecord) {
            return;
        }
        const EXCEPTION_RECORD& record = *exception->ExceptionPointers->ExceptionRecord;
        MINIDUMP_EXCEPTION_STREAM stream{};
        stream.ThreadId = exception->ThreadId;
        stream.ExceptionRecord.ExceptionCode = record.ExceptionCode;
        stream.ExceptionRecord.ExceptionFlags = record.ExceptionFlags;
        stream.ExceptionRecord.ExceptionRecord = reinterpret_cast<ULONG64>(record.ExceptionRecord);
        stream.ExceptionRecord.ExceptionAddress = reinterpret_cast<ULONG64>(record.ExceptionAddress);
        stream.ExceptionRecord.NumberParameters =
            std::min<DWORD>(record.NumberParameters, EXCEPTION_MAXIMUM_PARAMETERS);
        std::copy_n(record.ExceptionInformation, stream.ExceptionRecord.NumberParameters,
                    stream.ExceptionRecord.ExceptionInformation);
        stream.ThreadContext =
            m_contextLocation.DataSize
                ? m_contextLocation
                : MINIDUMP_LOCATION_DESCRIPTOR{sizeof(CONTEXT), Append(&m_exceptionContext, sizeof(CONTEXT))};
        AddStream(ExceptionStream, Append(&stream, sizeof(stream)), sizeof(stream));
    }

    void WriteModuleList() {
        CModuleSpan& span = m_span;
        span.active = false;
        platform::CMapping mapping;
        m_maps.Open();
        while (m_maps.Next(mapping)) {
            if (span.Continues(mapping)) {
                span.end = mapping.end;
                continue;
            }
            EmitModule();
            span.Start(mapping);
        }
        EmitModule();
        const RVA rva = Append(&m_moduleCount, sizeof(m_moduleCount));
        Append(m_modules, m_moduleCount * sizeof(MINIDUMP_MODULE), false);
        AddStream(ModuleListStream, rva, sizeof(m_moduleCount) + m_moduleCount * sizeof(MINIDUMP_MODULE));
    }

    void EmitModule() {
        if (!m_span.active || m_moduleCount == kMaxModules) {
            return;
        }
        m_span.active = false;
        m_name.Assign(std::string_view(m_span.path, m_span.pathLength));
        const auto size = static_cast<ULONG32>(std::min<uintptr_t>(m_span.end - m_span.begin, 0xFFFFFFFFu));
        m_input.IncludeModule = {m_span.begin};
        if (!Ask(IncludeModuleCallback)) {
            return;
        }
        m_input.Module = {};
        m_input.Module.FullPath = m_name.wide;
        m_input.Module.BaseOfImage = m_span.begin;
        m_input.Module.SizeOfImage = size;
        m_output = {};
        m_output.ModuleWriteFlags = kDefaultModuleFlags;
        if (!Ask(ModuleCallback) || !(m_output.ModuleWriteFlags & ModuleWriteModule)) {
            return;
        }
        MINIDUMP_MODULE& module = m_modules[m_moduleCount++];
        module = {};
        module.BaseOfImage = m_span.begin;
        module.SizeOfImage = size;
        module.ModuleNameRva = AppendString(m_name.utf16, m_name.utf16Length);
    }

    void AddCallbackMemory() {
        for (size_t i = 0; i < kMaxCallbackRanges; ++i) {
            m_output = {};
            if (!Ask(MemoryCallback) || m_output.MemorySize == 0) {
                return;
            }
            AddRange(AppendMemory(static_cast<uintptr_t>(m_output.MemoryBase), m_output.MemorySize));
        }
    }

    void WriteMemoryList() {
        const RVA rva = Append(&m_rangeCount, sizeof(m_rangeCount));
        Append(m_ranges, m_rangeCount * sizeof(MINIDUMP_MEMORY_DESCRIPTOR), false);
        AddStream(MemoryListStream, rva,
                  sizeof(m_rangeCount) + m_rangeCount * sizeof(MINIDUMP_MEMORY_DESCRIPTOR));
    }

    void WriteHeader() {
        const MINIDUMP_HEADER header{MINIDUMP_SIGNATURE,
                                     MINIDUMP_VERSION,
                                     m_streamCount,
                                     sizeof(MINIDUMP_HEADER),
                                     0,
                                     static_cast<ULONG32>(time(nullptr)),
                                     MiniDumpNormal};
        WriteAt(0, &header, sizeof(header));
        WriteAt(sizeof(header), m_directory, m_streamCount * sizeof(MINIDUMP_DIRECTORY));
    }

    CDumpRequest m_request{};
    RVA m_end = 0;
    bool m_failed = false;
    MINIDUMP_DIRECTORY m_directory[kMaxStreams] = {};
    ULONG32 m_streamCount = 0;

    DWORD m_threadIds[kMaxThreads] = {};
    CDumpThread m_threads[kMaxThreads] = {};
    size_t m_threadCount = 0;
    MINIDUMP_THREAD m_threadRecords[kMaxThreads] = {};
    DWORD m_exceptionThreadId = 0;
    CONTEXT m_exceptionContext{};
    MINIDUMP_LOCATION_DESCRIPTOR m_contextLocation{};

    MINIDUMP_MODULE m_modules[kMaxModules] = {};
    ULONG32 m_moduleCount = 0;
    CModuleSpan m_span{};
    CModuleName m_name{};

    // The threads' stacks and what the memory callbacks add.
    MINIDUMP_MEMORY_DESCRIPTOR m_ranges[kMaxThreads + kMaxCallbackRanges] = {};
    ULONG32 m_rangeCount = 0;

    MINIDUMP_CALLBACK_INPUT m_input{};
    MINIDUMP_CALLBACK_OUTPUT m_output{};
    platform::CProcessMaps m_maps;
};

constinit CDumpWriter g_writer;
constinit platform::CThreadSlot g_writerSlot;

BOOL Fail(HRESULT error) {
    SetLastError(static_cast<DWORD>(error));
    return FALSE;
}

// The dump in the machine's events, after the dump is complete; best effort.
void RecordDump(const platform::CFileObject& file, const MINIDUMP_EXCEPTION_INFORMATION* exception,
                DWORD threadId, RVA size) {
    try {
        nlohmann::json fields = {
            {"file", platform::ToUtf8(file.WindowsPath())}, {"threadId", threadId}, {"bytes", size}};
        if (exception && exception->ExceptionPointers && exception->ExceptionPointers->ExceptionRecord) {
            fields["exceptionCode"] = exception->ExceptionPointers->ExceptionRecord->ExceptionCode;
        }
        platform::AppendMachineEvent("crash.dump", fields);
    } catch (...) {
    }
}

} // namespace

void platform::PrepareMiniDumps() {
    DumpFacts();
}

BOOL WINAPI MiniDumpWriteDump(HANDLE hProcess, DWORD ProcessId, HANDLE hFile, MINIDUMP_TYPE DumpType,
                              PMINIDUMP_EXCEPTION_INFORMATION ExceptionParam,
                              PMINIDUMP_USER_STREAM_INFORMATION UserStreamParam,
                              PMINIDUMP_CALLBACK_INFORMATION CallbackParam) {
    if (hProcess != GetCurrentProcess() || DumpType != MiniDumpNormal || UserStreamParam) {
        return Fail(HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));
    }
    const auto file = platform::LookupHandle<platform::CFileObject>(hFile);
    if (ProcessId != GetCurrentProcessId() || !file || !file->IsWritable()) {
        return Fail(E_INVALIDARG);
    }
    if (!g_writerSlot.Enter()) {
        return Fail(HRESULT_FROM_WIN32(ERROR_WRITE_FAULT));
    }
    const bool written =
        g_writer.Write({file->Descriptor(), hProcess, ProcessId, ExceptionParam, CallbackParam});
    platform::ResumeThreads();
    const DWORD threadId = g_writer.ThreadId();
    const RVA size = g_writer.Size();
    g_writerSlot.Leave();
    if (!written) {
        return Fail(HRESULT_FROM_WIN32(ERROR_WRITE_FAULT));
    }
    RecordDump(*file, ExceptionParam, threadId, size);
    return TRUE;
}
