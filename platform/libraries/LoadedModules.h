// What the other areas of the layer may ask about the modules LoadLibraryW loaded.
#pragma once

#include <optional>
#include <string>

#include "platform/base.h"

namespace platform {

// The Windows path a loaded module was loaded from; nullopt for a handle that is no loaded module.
std::optional<std::wstring> LoadedModulePath(HMODULE module);

} // namespace platform
