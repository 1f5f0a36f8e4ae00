// Helpers of the signature tests: a file's signature record as the machine keeps it, by the file's full
// Windows path.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "platform/internal.h"
#include "tests/support/TestMachine.h"

namespace trust_test {

// The JSON pointer of a file's record: its lower-cased path, with '~' and '/' escaped.
inline std::string SignaturePointer(const std::wstring& fullPath) {
    std::string pointer = "/fileSignatures/";
    for (char c : platform::ToUtf8(platform::FoldCase(fullPath))) {
        pointer += c == '~' ? std::string("~0") : c == '/' ? std::string("~1") : std::string(1, c);
    }
    return pointer;
}

// Signs the file's bytes as they are now with a signature whose chain is in the state ("trusted",
// "untrustedRoot", ...), or takes its signature away (null).
inline void SetSignature(const testing_support::CTestMachine& machine, const std::wstring& fullPath,
                         const nlohmann::json& chain, const std::string& signer = "Corvex") {
    nlohmann::json record;
    if (!chain.is_null()) {
        record = {{"signer", signer}, {"chain", chain}};
        if (const auto digest = platform::SignedFileDigest(machine.HostPath(fullPath.c_str()))) {
            record["digest"] = *digest;
        }
    }
    testing_support::SetMachineFact(machine.Folder(), SignaturePointer(fullPath), record);
}

} // namespace trust_test
