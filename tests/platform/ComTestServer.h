// Helpers of the library and COM tests: the test server built beside the test program, installed at a
// Windows path of the test machine as the machine installs its modules (a link to the built library).
#pragma once

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "tests/support/TestMachine.h"

namespace com_test {

inline const wchar_t* const kServerPath = L"C:\\Program Files (x86)\\Test\\TestModule.dll";

inline std::filesystem::path BuiltLibrary(const char* fileName) {
    return platform::ExecutableDirectory() / fileName;
}
inline std::filesystem::path TestServerLibrary() {
    return BuiltLibrary("libflipdeck_test_com_module.so");
}
inline std::filesystem::path PlatformLibrary() {
    return BuiltLibrary("libflipdeck_platform.so");
}

inline std::filesystem::path PrepareHostPath(const testing_support::CTestMachine& machine,
                                             const std::wstring& windowsPath) {
    const std::filesystem::path host = machine.HostPath(windowsPath);
    EXPECT_FALSE(host.empty());
    std::filesystem::create_directories(host.parent_path());
    return host;
}

// Places a link to a library at a Windows path of the machine.
inline void InstallLibrary(const testing_support::CTestMachine& machine, const std::wstring& windowsPath,
                           const std::filesystem::path& library) {
    std::filesystem::create_symlink(library, PrepareHostPath(machine, windowsPath));
}

inline void WriteFile(const testing_support::CTestMachine& machine, const std::wstring& windowsPath,
                      const std::string& content) {
    std::ofstream(PrepareHostPath(machine, windowsPath)) << content;
}

// Whether the process has the library loaded now.
inline bool IsLoaded(const std::filesystem::path& library) {
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) {
        dlclose(handle);
    }
    return handle != nullptr;
}

} // namespace com_test
