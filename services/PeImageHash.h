// The SHA-256 digest of a signed PE image without the parts that signing changes: the header's checksum,
// the security directory entry and the certificate table.
#pragma once

#include <string>

// 64 upper-case hexadecimal characters; empty when the file's signature does not verify or the file
// cannot be read as a PE image.
std::wstring GetPeImageHashHex(const wchar_t* pszPath);
