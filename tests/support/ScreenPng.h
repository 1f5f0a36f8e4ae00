// Screens written as PNG by the program or the tool, read back as pixels.
#pragma once

#include <filesystem>

#include "platform/window/Desktop.h"

namespace testing_support {

// The PNG's pixels; an empty image when the file is missing or not a PNG.
platform::desktop::CScreenImage ReadScreenPng(const std::filesystem::path& file);

} // namespace testing_support
