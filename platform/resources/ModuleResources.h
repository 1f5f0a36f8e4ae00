// The program's resource tables, as the build compiles them into the program (resources/): the layer
// finds its resources there. A test may put its own tables in their place.
#pragma once

#include "platform/base.h"
#include "platform/embedded.h"

namespace platform {

// Files by name: images "<id>.png", string tables "<language tag>.json" ({"language": LANGID,
// "strings": {"<id>": "text", ...}}), dialog templates "<id>.json".
struct ModuleResources {
    const EmbeddedFile* images;
    const EmbeddedFile* strings;
    const EmbeddedFile* dialogs;
};

// Makes the tables the program's resources; the previous ones are returned. Null: no resources.
const ModuleResources* SetProgramResources(const ModuleResources* resources);
const ModuleResources* ProgramResources();

// The program's module handle (what GetModuleHandleW(NULL) and the framework's instance handle are):
// the resource functions take it, or NULL, for the program.
HINSTANCE ProgramInstanceHandle();
bool IsProgramModule(HMODULE hModule);

} // namespace platform
