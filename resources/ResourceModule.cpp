// Registers the compiled resource tables as the program's resources.
#include "platform/resources/ModuleResources.h"

extern const platform::EmbeddedFile g_programImages[];
extern const platform::EmbeddedFile g_programStrings[];
extern const platform::EmbeddedFile g_programDialogs[];

namespace {

const platform::ModuleResources g_programResources{g_programImages, g_programStrings, g_programDialogs};
const bool g_bRegistered = (platform::SetProgramResources(&g_programResources), true);

} // namespace
