// The program's resources: images by id, string tables by language, and the thread's UI language.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>

#include "platform/internal.h"
#include "platform/resources.h"
#include "platform/resources/ModuleResources.h"

namespace platform {

namespace {

std::atomic<const ModuleResources*>& ProgramResourcesSlot() {
    static std::atomic<const ModuleResources*> slot{nullptr};
    return slot;
}

constexpr LANGID kEnglishUs = 0x0409;
thread_local LANGID t_threadUiLanguage = 0;

// A found resource: its bytes live as long as the program.
struct ResourceEntry {
    const EmbeddedFile* file;
};

using StringTable = std::unordered_map<UINT, std::wstring>;

// The string tables of the current resources by language, parsed on first use.
class CStringTables {
public:
    const std::wstring* Find(LANGID language, UINT id) {
        std::lock_guard guard(m_mutex);
        Refresh();
        const StringTable* table = PickTable(language);
        if (!table) {
            return nullptr;
        }
        const auto found = table->find(id);
        return found == table->end() ? nullptr : &found->second;
    }

private:
    void Refresh() {
        const ModuleResources* resources = ProgramResources();
        if (resources == m_source) {
            return;
        }
        m_source = resources;
        m_tables.clear();
        for (const EmbeddedFile* file = resources ? resources->strings : nullptr; file && file->name;
             ++file) {
            Parse(*file);
        }
    }

    void Parse(const EmbeddedFile& file) {
        const auto json = nlohmann::json::parse(file.data, file.data + file.size, nullptr, false);
        if (!json.is_object() || !json.contains("language") || !json["language"].is_number_unsigned()) {
            return;
        }
        StringTable& table = m_tables[static_cast<LANGID>(json["language"].get<unsigned>())];
        const auto strings = json.find("strings");
        if (strings == json.end() || !strings->is_object()) {
            return;
        }
        for (const auto& [key, value] : strings->items()) {
            char* end = nullptr;
            const unsigned long id = std::strtoul(key.c_str(), &end, 10);
            if (value.is_string() && end && *end == '\0' && id > 0 && id <= 0xFFFF) {
                table[static_cast<UINT>(id)] = FromUtf8(value.get<std::string>());
            }
        }
    }

    const StringTable* PickTable(LANGID language) const {
        if (const auto exact = m_tables.find(language); exact != m_tables.end()) {
            return &exact->second;
        }
        for (const auto& [tableLanguage, table] : m_tables) {
            if (PRIMARYLANGID(tableLanguage) == PRIMARYLANGID(language)) {
                return &table;
            }
        }
        const auto english = m_tables.find(kEnglishUs);
        return english == m_tables.end() ? nullptr : &english->second;
    }

    std::mutex m_mutex;
    const ModuleResources* m_source = nullptr;
    std::map<LANGID, StringTable> m_tables;
};

CStringTables& StringTables() {
    static CStringTables tables;
    return tables;
}

// The integer id of a resource name: MAKEINTRESOURCE or "#123"; 0 for any other name.
WORD IdOfName(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) {
        return static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    }
    if (name[0] != L'#') {
        return 0;
    }
    wchar_t* end = nullptr;
    const unsigned long id = std::wcstoul(name + 1, &end, 10);
    return (end && *end == L'\0' && id <= 0xFFFF) ? static_cast<WORD>(id) : 0;
}

bool IsPngType(LPCWSTR type) {
    return !IS_INTRESOURCE(type) && EqualsNoCase(type, L"PNG");
}

// The found resources, one entry per embedded file, kept for the program's life.
class CResourceEntries {
public:
    static CResourceEntries& Instance() {
        static CResourceEntries entries;
        return entries;
    }

    ResourceEntry* EntryOf(const EmbeddedFile* file) {
        std::lock_guard guard(m_mutex);
        auto& entry = m_entries[file];
        if (!entry) {
            entry = std::make_unique<ResourceEntry>(ResourceEntry{file});
            m_known.insert(entry.get());
        }
        return entry.get();
    }

    // The entry a handle names, or null for a handle that names none.
    const ResourceEntry* Find(HRSRC hResInfo) {
        std::lock_guard guard(m_mutex);
        const auto* entry = reinterpret_cast<const ResourceEntry*>(hResInfo);
        return m_known.contains(entry) ? entry : nullptr;
    }

private:
    std::mutex m_mutex;
    std::map<const EmbeddedFile*, std::unique_ptr<ResourceEntry>> m_entries;
    std::set<const ResourceEntry*> m_known;
};

} // namespace

const ModuleResources* SetProgramResources(const ModuleResources* resources) {
    return ProgramResourcesSlot().exchange(resources);
}

const ModuleResources* ProgramResources() {
    return ProgramResourcesSlot().load();
}

HINSTANCE ProgramInstanceHandle() {
    static const char programModule = 0;
    return const_cast<char*>(&programModule);
}

bool IsProgramModule(HMODULE hModule) {
    return !hModule || hModule == ProgramInstanceHandle();
}

} // namespace platform

using namespace platform;

HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
    if (!lpName || !lpType) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const ModuleResources* resources = ProgramResources();
    if (!IsProgramModule(hModule) || !resources) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (!IsPngType(lpType)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    const WORD id = IdOfName(lpName);
    const EmbeddedFile* file =
        id ? FindEmbeddedFile(resources->images, std::to_string(id) + ".png") : nullptr;
    if (!file) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(CResourceEntries::Instance().EntryOf(file));
}

HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo) {
    const ResourceEntry* entry =
        IsProgramModule(hModule) ? CResourceEntries::Instance().Find(hResInfo) : nullptr;
    if (!entry) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<unsigned char*>(entry->file->data);
}

LPVOID LockResource(HGLOBAL hResData) {
    return hResData;
}

DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo) {
    const ResourceEntry* entry =
        IsProgramModule(hModule) ? CResourceEntries::Instance().Find(hResInfo) : nullptr;
    if (!entry) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(entry->file->size);
}

BOOL FreeResource(HGLOBAL hResData) {
    return FALSE;
}

int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    if (!lpBuffer || cchBufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const bool bProgram = IsProgramModule(hInstance);
    const std::wstring* text = bProgram ? StringTables().Find(GetThreadUILanguage(), uID) : nullptr;
    if (!text) {
        SetLastError(bProgram ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_DATA_NOT_FOUND);
        if (cchBufferMax > 0) {
            lpBuffer[0] = L'\0';
        }
        return 0;
    }
    if (cchBufferMax == 0) {
        *reinterpret_cast<const wchar_t**>(lpBuffer) = text->c_str();
        return static_cast<int>(text->size());
    }
    const size_t count = std::min(text->size(), static_cast<size_t>(cchBufferMax - 1));
    text->copy(lpBuffer, count);
    lpBuffer[count] = L'\0';
    return static_cast<int>(count);
}

LANGID GetUserDefaultUILanguage() {
    const nlohmann::json fact = MachineFact("/uiLanguage");
    if (fact.is_number_unsigned() && fact.get<unsigned long long>() > 0 &&
        fact.get<unsigned long long>() <= 0xFFFF) {
        return static_cast<LANGID>(fact.get<unsigned>());
    }
    return kEnglishUs;
}

LANGID GetThreadUILanguage() {
    return t_threadUiLanguage ? t_threadUiLanguage : GetUserDefaultUILanguage();
}

LANGID SetThreadUILanguage(LANGID LangId) {
    if (LangId != 0 && PRIMARYLANGID(LangId) == LANG_NEUTRAL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    t_threadUiLanguage = LangId;
    return GetThreadUILanguage();
}
