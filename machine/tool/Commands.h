// The sub-commands of flipdeck-machine; each takes the words after its own name and returns the
// process's exit code (0 done, 1 failed, 2 usage error).
#pragma once

#include <string>
#include <vector>

int RunInitCommand(const std::vector<std::string>& args);
int RunInfoCommand(const std::vector<std::string>& args);
int RunEventsCommand(const std::vector<std::string>& args);
int RunRegCommand(const std::vector<std::string>& args);
int RunHostCommand(const std::vector<std::string>& args);
int RunFeatureCommand(const std::vector<std::string>& args);
int RunInputCommand(const std::vector<std::string>& args);
int RunScreenCommand(const std::vector<std::string>& args);
int RunPowerCommand(const std::vector<std::string>& args);
int RunAudioCommand(const std::vector<std::string>& args);
int RunPrivacyCommand(const std::vector<std::string>& args);
