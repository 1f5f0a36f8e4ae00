// The kernel object behind a file handle of CreateFileW, for the areas that work on an open file.
#pragma once

#include <memory>
#include <string>

#include "platform/threads.h"

namespace platform {

class CFileObject : public CKernelObject {
public:
    // Takes over the descriptor; it is closed with the object.
    CFileObject(int descriptor, std::wstring windowsPath, bool readable, bool writable)
        : m_descriptor(descriptor), m_windowsPath(std::move(windowsPath)), m_readable(readable),
          m_writable(writable) {}
    ~CFileObject() override;
    CFileObject(const CFileObject&) = delete;
    CFileObject& operator=(const CFileObject&) = delete;

    int Descriptor() const { return m_descriptor; }
    // The file's full Windows path, as it was opened.
    const std::wstring& WindowsPath() const { return m_windowsPath; }
    bool IsReadable() const { return m_readable; }
    bool IsWritable() const { return m_writable; }

private:
    int m_descriptor;
    std::wstring m_windowsPath;
    bool m_readable;
    bool m_writable;
};

} // namespace platform
