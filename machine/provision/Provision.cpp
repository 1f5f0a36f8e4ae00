// The entry point by which the layer makes a machine that does not exist yet.
#include <cstring>

#include "machine/provision/MachineBuilder.h"
#include "platform/internal.h"

extern "C" __attribute__((visibility("default"))) bool FlipdeckMachineProvision(const char* folder,
                                                                                const char* profileName,
                                                                                bool force, char* error,
                                                                                size_t errorSize) {
    std::string message;
    bool ok = false;
    if (std::filesystem::path(folder) != platform::MachineFolderPath()) {
        message = "a machine is made only in the current machine folder";
    } else {
        CProfile profile;
        ok = profile.Load(profileName, message) && CMachineBuilder(folder, profile).Build(force, message);
    }
    if (!ok && error && errorSize > 0) {
        std::strncpy(error, message.c_str(), errorSize - 1);
        error[errorSize - 1] = '\0';
    }
    return ok;
}
