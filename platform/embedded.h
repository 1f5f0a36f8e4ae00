// Files compiled into a binary by the build (cmake/Embed.cmake): a table ended by a null name.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform {

struct EmbeddedFile {
    const char* name;
    const unsigned char* data;
    std::size_t size;
};

inline const EmbeddedFile* FindEmbeddedFile(const EmbeddedFile* table, std::string_view name) {
    for (; table && table->name; ++table) {
        if (name == table->name) {
            return table;
        }
    }
    return nullptr;
}

} // namespace platform
