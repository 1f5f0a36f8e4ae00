// The channel through which a tool drives the program running on a machine: a Unix socket
// "screen.sock" in the machine folder, one request line per connection, answered by a layer thread of
// the program with the same input calls a test makes.
//
// Requests: "move X Y", "click X Y", "wheel DELTA" (at the cursor), "key VK" (pressed and released),
// "power SETTING VALUE" (a power setting's change: "source" 0 AC or 1 DC, "battery" 0 to 100, "monitor"
// 0 off or 1 on), "screen". Input and power changes are answered "ok\n", then delivered (a program may
// end on them); "screen" once the screen has settled with "ok WIDTH HEIGHT\n" and the pixels
// (0x00RRGGBB, 4 bytes each, little-endian, rows from the top); a request not understood with
// "error TEXT\n".
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/window/Desktop.h"

namespace platform::desktop {

// Serves the channel of the machine folder on a layer thread, once per process. False when there is no
// machine or another program already serves it.
bool ServeScreenChannel();
// Stops serving and waits for the serving thread (a request in progress is finished); the socket file
// goes. Tools then find no program. Called before the program's exit.
void StopScreenChannel();

// Sends one request to the program serving the machine folder; its answer, or nothing when no program
// serves it.
std::optional<std::string> RequestScreenChannel(const std::filesystem::path& folder,
                                                const std::string& request);

// The screen in an answer to "screen"; nothing when the answer is not one.
std::optional<CScreenImage> ParseScreenAnswer(const std::string& answer);

} // namespace platform::desktop
