// Reads a minidump file back for tests: the header, the stream directory and the records of the streams,
// each read within the file's bounds.
#pragma once

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/faults.h"

namespace testing_support {

class CMiniDumpReader {
public:
    explicit CMiniDumpReader(const std::filesystem::path& file) {
        std::ifstream stream(file, std::ios::binary);
        m_bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    }

    // "MDMP", the version and a directory inside the file.
    bool IsValid() const {
        const auto header = Header();
        return header && header->Signature == MINIDUMP_SIGNATURE &&
               (header->Version & 0xFFFF) == MINIDUMP_VERSION &&
               Fits(header->StreamDirectoryRva, header->NumberOfStreams * sizeof(MINIDUMP_DIRECTORY));
    }

    std::optional<MINIDUMP_HEADER> Header() const { return Read<MINIDUMP_HEADER>(0); }

    std::vector<MINIDUMP_DIRECTORY> Directory() const {
        const auto header = Header();
        return header ? ReadArray<MINIDUMP_DIRECTORY>(header->StreamDirectoryRva, header->NumberOfStreams)
                      : std::vector<MINIDUMP_DIRECTORY>();
    }

    std::optional<MINIDUMP_LOCATION_DESCRIPTOR> StreamLocation(ULONG32 type) const {
        for (const auto& entry : Directory()) {
            if (entry.StreamType == type) {
                return entry.Location;
            }
        }
        return std::nullopt;
    }

    // The stream's first record, when the stream holds one.
    template <class T> std::optional<T> Stream(ULONG32 type) const {
        const auto location = StreamLocation(type);
        return location && location->DataSize >= sizeof(T) ? Read<T>(location->Rva) : std::nullopt;
    }

    // A list stream: a 32-bit count, then the items.
    template <class T> std::vector<T> List(ULONG32 type) const {
        const auto location = StreamLocation(type);
        const auto count = location ? Read<ULONG32>(location->Rva) : std::nullopt;
        return count ? ReadArray<T>(location->Rva + sizeof(ULONG32), *count) : std::vector<T>();
    }

    std::u16string StringAt(RVA rva) const {
        const auto length = Read<ULONG32>(rva);
        if (!length || !Fits(rva + sizeof(ULONG32), *length)) {
            return {};
        }
        std::u16string text(*length / sizeof(char16_t), u'\0');
        std::memcpy(text.data(), m_bytes.data() + rva + sizeof(ULONG32), text.size() * sizeof(char16_t));
        return text;
    }

    std::vector<std::string> ModuleNames() const {
        std::vector<std::string> names;
        for (const auto& module : List<MINIDUMP_MODULE>(ModuleListStream)) {
            const std::u16string name = StringAt(module.ModuleNameRva);
            names.emplace_back(name.begin(), name.end()); // the test paths are ASCII
        }
        return names;
    }

    std::optional<CONTEXT> ContextAt(const MINIDUMP_LOCATION_DESCRIPTOR& location) const {
        return location.DataSize == sizeof(CONTEXT) ? Read<CONTEXT>(location.Rva) : std::nullopt;
    }

    std::string MemoryAt(const MINIDUMP_LOCATION_DESCRIPTOR& location) const {
        return Fits(location.Rva, location.DataSize) ? m_bytes.substr(location.Rva, location.DataSize)
                                                     : std::string();
    }

    template <class T> std::optional<T> Read(RVA rva) const {
        if (!Fits(rva, sizeof(T))) {
            return std::nullopt;
        }
        T value;
        std::memcpy(static_cast<void*>(&value), m_bytes.data() + rva, sizeof(T));
        return value;
    }

private:
    bool Fits(RVA rva, size_t size) const { return rva <= m_bytes.size() && size <= m_bytes.size() - rva; }

    template <class T> std::vector<T> ReadArray(RVA rva, size_t count) const {
        std::vector<T> items;
        for (size_t i = 0; i < count; ++i) {
            const auto item = Read<T>(static_cast<RVA>(rva + i * sizeof(T)));
            if (!item) {
                return {};
            }
            items.push_back(*item);
        }
        return items;
    }

    std::string m_bytes;
};

} // namespace testing_support
