// flipdeck-machine reg: reads and changes the machine's registry, always in the 64-bit view.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "machine/tool/Commands.h"
#include "platform/internal.h"
#include "platform/registry.h"
#include "platform/registry/RegistryValue.h"

namespace {

using platform::registry::SRegValue;

constexpr char kSynopsis[] = "usage: flipdeck-machine reg get KEY NAME\n"
                             "       flipdeck-machine reg set KEY NAME TYPE DATA...\n"
                             "       flipdeck-machine reg delete KEY [NAME]\n"
                             "       flipdeck-machine reg list KEY\n";
constexpr char kDetails[] =
    "KEY is a root (HKLM, HKCU, HKCR, HKU or HKEY_LOCAL_MACHINE, ...) and a path below it, such as\n"
    "'HKCU\\Software\\Corvex\\Ampwise'; keys are always seen in the 64-bit view. NAME '' is the key's\n"
    "default value.\n"
    "\n"
    "get     prints the data alone: the text; a REG_DWORD or REG_QWORD in decimal; a REG_MULTI_SZ one\n"
    "        entry a line; REG_BINARY (and data that does not fit its type) in hex.\n"
    "set     makes the key when needed and sets the value. TYPE and DATA:\n"
    "          REG_SZ, REG_EXPAND_SZ   one DATA, the text\n"
    "          REG_DWORD, REG_QWORD    one DATA, decimal or 0x-prefixed hex\n"
    "          REG_BINARY              one DATA, hex digits ('' for no bytes)\n"
    "          REG_MULTI_SZ            one DATA argument per entry (none for an empty list)\n"
    "delete  deletes the value NAME, or without NAME the key with all its sub-keys.\n"
    "list    prints each sub-key as NAME\\ and each value as NAME<TAB>TYPE<TAB>DATA, with the entries\n"
    "        of a REG_MULTI_SZ joined by \\0 and the default value named (default).\n"
    "\n"
    "Exit status: 0 done, 1 failed (the reason on stderr), 2 usage error.\n";

constexpr REGSAM k64 = KEY_WOW64_64KEY;

// An open key of the tool, closed when it goes.
class CKey {
public:
    CKey() = default;
    ~CKey() {
        if (m_key) {
            RegCloseKey(m_key);
        }
    }
    CKey(const CKey&) = delete;
    CKey& operator=(const CKey&) = delete;
    HKEY Get() const { return m_key; }
    PHKEY Out() { return &m_key; }

private:
    HKEY m_key = nullptr;
};

struct SKeyArg {
    HKEY root = nullptr;
    std::wstring subKey;
    std::string text;
};

int UsageError(const std::string& message) {
    std::fprintf(stderr, "flipdeck-machine reg: %s\n%s(see 'flipdeck-machine reg --help')\n", message.c_str(),
                 kSynopsis);
    return 2;
}

std::string ErrorText(LONG status) {
    switch (status) {
    case ERROR_FILE_NOT_FOUND:
        return "not found";
    case ERROR_ACCESS_DENIED:
        return "access denied (the key is read-only)";
    case ERROR_BADDB:
        return "the registry store is malformed, so it is left unchanged";
    case ERROR_REGISTRY_IO_FAILED:
        return "the registry store cannot be read or written";
    case ERROR_KEY_DELETED:
        return "the key was deleted meanwhile";
    default:
        return "error " + std::to_string(status);
    }
}

int Failure(const std::string& what, LONG status) {
    std::fprintf(stderr, "flipdeck-machine reg: %s: %s\n", what.c_str(), ErrorText(status).c_str());
    return 1;
}

std::optional<SKeyArg> ParseKey(const std::string& text) {
    SKeyArg key;
    key.text = text;
    if (!platform::SplitRegistryPath(platform::FromUtf8(text), key.root, key.subKey)) {
        return std::nullopt;
    }
    return key;
}

std::string ValueLabel(const SKeyArg& key, const std::wstring& name) {
    return key.text + " value '" + platform::ToUtf8(name) + "'";
}

// Reads data through a call that answers as RegQueryValueExW does, growing the buffer as needed.
template <typename Read> LONG ReadData(Read read, SRegValue& value) {
    DWORD size = 0;
    LONG status = read(&value.type, nullptr, &size);
    while (status == ERROR_SUCCESS) {
        value.data.resize(size);
        DWORD got = size;
        status = read(&value.type, value.data.data(), &got);
        if (status == ERROR_SUCCESS) {
            value.data.resize(got);
        } else if (status == ERROR_MORE_DATA) {
            size = got;
            status = ERROR_SUCCESS;
            continue;
        }
        break;
    }
    return status;
}

std::vector<std::wstring> WideChars(const std::vector<BYTE>& data) {
    std::wstring chars(data.size() / sizeof(wchar_t), L'\0');
    std::copy_n(data.begin(), chars.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(chars.data()));
    // Entries end at each terminator; the list ends at an empty entry or at the data's end.
    std::vector<std::wstring> entries;
    size_t start = 0;
    while (start < chars.size()) {
        const size_t end = std::min(chars.find(L'\0', start), chars.size());
        if (end == start) {
            break;
        }
        entries.push_back(chars.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

template <typename Number> std::optional<Number> NumberOf(const std::vector<BYTE>& data) {
    if (data.size() != sizeof(Number)) {
        return std::nullopt;
    }
    Number number = 0;
    std::copy(data.begin(), data.end(), reinterpret_cast<BYTE*>(&number));
    return number;
}

std::string Joined(const std::vector<std::wstring>& entries, const char* separator) {
    std::string joined;
    for (size_t i = 0; i < entries.size(); ++i) {
        joined += (i ? separator : "") + platform::ToUtf8(entries[i]);
    }
    return joined;
}

std::string FormatData(const SRegValue& value, const char* entrySeparator) {
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        const auto text = WideChars(value.data);
        return text.empty() ? std::string() : platform::ToUtf8(text.front());
    }
    case REG_MULTI_SZ:
        return Joined(WideChars(value.data), entrySeparator);
    case REG_DWORD:
        if (const auto number = NumberOf<DWORD>(value.data)) {
            return std::to_string(*number);
        }
        break;
    case REG_QWORD:
        if (const auto number = NumberOf<QWORD>(value.data)) {
            return std::to_string(*number);
        }
        break;
    default:
        break;
    }
    return platform::registry::ToHex(value.data);
}

std::optional<std::uint64_t> ParseNumber(const std::string& text, std::uint64_t maximum) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    std::uint64_t number = 0;
    const auto [stop, error] = std::from_chars(begin, end, number, hex ? 16 : 10);
    if (begin == end || error != std::errc() || stop != end || number > maximum) {
        return std::nullopt;
    }
    return number;
}

// The value that set's TYPE and DATA words give, in the store's own form, decoded by its codec.
std::optional<SRegValue> ParseValue(const std::string& type, const std::vector<std::string>& data,
                                    std::string& problem) {
    nlohmann::json entry = {{"type", type}};
    const bool multi = type == "REG_MULTI_SZ";
    if (!multi && data.size() != 1) {
        problem = type + " takes exactly one DATA";
        return std::nullopt;
    }
    if (multi) {
        entry["data"] = data;
    } else if (type == "REG_DWORD" || type == "REG_QWORD") {
        const auto number = ParseNumber(data[0], type == "REG_DWORD" ? 0xFFFFFFFFull : ~0ull);
        if (!number) {
            problem = "not a " + type + " number: " + data[0];
            return std::nullopt;
        }
        entry["data"] = *number;
    } else if (type == "REG_SZ" || type == "REG_EXPAND_SZ" || type == "REG_BINARY") {
        entry["data"] = data[0];
    } else {
        problem = "unknown TYPE " + type;
        return std::nullopt;
    }
    auto value = platform::registry::DecodeValue(entry);
    if (!value) {
        problem = "not hex digits: " + data[0];
    }
    return value;
}

int RunGet(const SKeyArg& key, const std::wstring& name) {
    CKey opened;
    if (const LONG status =
            RegOpenKeyExW(key.root, key.subKey.c_str(), 0, KEY_QUERY_VALUE | k64, opened.Out());
        status != ERROR_SUCCESS) {
        return Failure(key.text, status);
    }
    SRegValue value;
    const LONG status = ReadData(
        [&](LPDWORD type, LPBYTE data, LPDWORD size) {
            return RegQueryValueExW(opened.Get(), name.c_str(), nullptr, type, data, size);
        },
        value);
    if (status != ERROR_SUCCESS) {
        return Failure(ValueLabel(key, name), status);
    }
    std::printf("%s\n", FormatData(value, "\n").c_str());
    return 0;
}

int RunSet(const SKeyArg& key, const std::wstring& name, const SRegValue& value) {
    CKey opened;
    if (const LONG status = RegCreateKeyExW(key.root, key.subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | k64,
                                            nullptr, opened.Out(), nullptr);
        status != ERROR_SUCCESS) {
        return Failure(key.text, status);
    }
    const LONG status = RegSetValueExW(opened.Get(), name.c_str(), 0, value.type, value.data.data(),
                                       static_cast<DWORD>(value.data.size()));
    return status == ERROR_SUCCESS ? 0 : Failure(ValueLabel(key, name), status);
}

int RunDeleteValue(const SKeyArg& key, const std::wstring& name) {
    CKey opened;
    if (const LONG status = RegOpenKeyExW(key.root, key.subKey.c_str(), 0, KEY_SET_VALUE | k64, opened.Out());
        status != ERROR_SUCCESS) {
        return Failure(key.text, status);
    }
    const LONG status = RegDeleteValueW(opened.Get(), name.c_str());
    return status == ERROR_SUCCESS ? 0 : Failure(ValueLabel(key, name), status);
}

int RunDeleteKey(const SKeyArg& key) {
    if (key.subKey.find_first_not_of(L'\\') == std::wstring::npos) {
        std::fprintf(stderr, "flipdeck-machine reg: a root key cannot be deleted: %s\n", key.text.c_str());
        return 1;
    }
    {
        CKey opened;
        LONG status = RegOpenKeyExW(key.root, key.subKey.c_str(), 0,
                                    DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | k64, opened.Out());
        if (status == ERROR_SUCCESS) {
            status = RegDeleteTreeW(opened.Get(), nullptr);
        }
        if (status != ERROR_SUCCESS) {
            return Failure(key.text, status);
        }
    }
    const LONG status = RegDeleteKeyExW(key.root, key.subKey.c_str(), k64, 0);
    return status == ERROR_SUCCESS ? 0 : Failure(key.text, status);
}

LONG PrintSubKeys(HKEY key) {
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(std::size(name));
        const LONG status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) {
            return status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : status;
        }
        std::printf("%s\\\n", platform::ToUtf8(name).c_str());
    }
}

LONG PrintValues(HKEY key) {
    std::vector<wchar_t> name(16384);
    for (DWORD index = 0;; ++index) {
        SRegValue value;
        const LONG status = ReadData(
            [&](LPDWORD type, LPBYTE data, LPDWORD size) {
                DWORD length = static_cast<DWORD>(name.size());
                return RegEnumValueW(key, index, name.data(), &length, nullptr, type, data, size);
            },
            value);
        if (status != ERROR_SUCCESS) {
            return status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : status;
        }
        const std::string label = name[0] ? platform::ToUtf8(name.data()) : "(default)";
        std::printf("%s\t%s\t%s\n", label.c_str(), platform::registry::TypeName(value.type).c_str(),
                    FormatData(value, "\\0").c_str());
    }
}

int RunList(const SKeyArg& key) {
    CKey opened;
    LONG status = RegOpenKeyExW(key.root, key.subKey.c_str(), 0, KEY_READ | k64, opened.Out());
    if (status == ERROR_SUCCESS) {
        status = PrintSubKeys(opened.Get());
    }
    if (status == ERROR_SUCCESS) {
        status = PrintValues(opened.Get());
    }
    return status == ERROR_SUCCESS ? 0 : Failure(key.text, status);
}

} // namespace

int RunRegCommand(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::printf("%s\n%s", kSynopsis, kDetails);
        return 0;
    }
    if (args.size() < 2) {
        return UsageError("a sub-command and a KEY are needed");
    }
    const std::string& command = args[0];
    const auto key = ParseKey(args[1]);
    if (!key) {
        return UsageError("not a registry key: " + args[1]);
    }
    const std::wstring name = args.size() > 2 ? platform::FromUtf8(args[2]) : std::wstring();
    if (command == "get" && args.size() == 3) {
        return RunGet(*key, name);
    }
    if (command == "set" && args.size() >= 4) {
        std::string problem;
        const auto value =
            ParseValue(args[3], std::vector<std::string>(args.begin() + 4, args.end()), problem);
        return value ? RunSet(*key, name, *value) : UsageError(problem);
    }
    if (command == "delete" && args.size() == 3) {
        return RunDeleteValue(*key, name);
    }
    if (command == "delete" && args.size() == 2) {
        return RunDeleteKey(*key);
    }
    if (command == "list" && args.size() == 2) {
        return RunList(*key);
    }
    return UsageError("bad arguments for '" + command + "'");
}
