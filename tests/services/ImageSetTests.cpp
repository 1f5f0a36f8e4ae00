// The program's image set: every image of the table in resources/images/README.md is a PNG resource of
// the size the table gives, drawn by a clean SVG of its own, and every image the program holds or its
// code names is in the table.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "platform/resources/ModuleResources.h"
#include "services/DrawingRoutines.h"
#include "tests/services/DrawingTestSupport.h"
#include "tests/support/ImageTable.h"

namespace {

using drawing_test::CDrawingTest;
using image_table::ImageEntry;

const std::filesystem::path kSourceDir = FLIPDECK_SOURCE_DIR;
const std::filesystem::path kImagesDir = kSourceDir / "resources" / "images";
// The folders of the program's own code, where images are loaded by id.
const char* const kProgramFolders[] = {"services", "controls", "features", "app"};

const std::vector<ImageEntry>& Entries() {
    static const image_table::ImageTable table = image_table::ReadImageTable(kImagesDir / "README.md");
    return table.entries;
}

std::set<int> TableIds() {
    std::set<int> ids;
    for (const ImageEntry& entry : Entries()) {
        ids.insert(entry.id);
    }
    return ids;
}

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream input(file);
    std::ostringstream text;
    text << input.rdbuf();
    return text.str();
}

// Whether any pixel of the bitmap is not fully transparent.
bool HasInk(Gdiplus::Bitmap& bitmap) {
    for (UINT y = 0; y < bitmap.GetHeight(); ++y) {
        for (UINT x = 0; x < bitmap.GetWidth(); ++x) {
            Gdiplus::Color pixel;
            bitmap.GetPixel(static_cast<INT>(x), static_cast<INT>(y), &pixel);
            if (pixel.GetA() != 0) {
                return true;
            }
        }
    }
    return false;
}

// The ids that a source text loads: 3-digit literals in calls such as SetImages(...), SetIconState(...),
// LoadPngFromResource(...) or SelectBatteryImage(...), and constants such as kPngWiFiOn = 364.
std::set<int> IdsNamedIn(const std::string& source) {
    static const std::regex call(R"(\b(?:Set|Load|Select)\w*(?:Image|Icon|Png|Picture)\w*\s*\(([^;{]*))");
    // Integer constants only: an icon's scale such as 0.7f names no image.
    static const std::regex constant(R"(\bk\w*(?:Image|Icon|Png|Picture)\w*\s*=\s*(\d+)\b(?![.\w]))");
    static const std::regex literal(R"(\b([1-9]\d\d)\b)");
    std::set<int> ids;
    for (std::sregex_iterator it(source.begin(), source.end(), call), end; it != end; ++it) {
        const std::string arguments = (*it)[1];
        for (std::sregex_iterator number(arguments.begin(), arguments.end(), literal); number != end;
             ++number) {
            ids.insert(std::stoi((*number)[1]));
        }
    }
    for (std::sregex_iterator it(source.begin(), source.end(), constant), end; it != end; ++it) {
        ids.insert(std::stoi((*it)[1]));
    }
    return ids;
}

TEST(ImageTableTest, EveryRowReadsAndNamesItsOwnId) {
    const image_table::ImageTable table = image_table::ReadImageTable(kImagesDir / "README.md");
    EXPECT_EQ(table.error, "");
    ASSERT_FALSE(table.entries.empty());
    std::set<int> seen;
    for (const ImageEntry& entry : table.entries) {
        EXPECT_TRUE(seen.insert(entry.id).second) << "image " << entry.id << " stands twice in the table";
        EXPECT_TRUE(entry.file.starts_with(std::to_string(entry.id) + "-") && entry.file.ends_with(".svg"))
            << entry.file << " is not named <id>-<purpose>.svg";
    }
}

TEST(ImageTableTest, EveryDrawingIsInTheTableAndHandWritten) {
    std::set<std::string> inTable;
    for (const ImageEntry& entry : Entries()) {
        inTable.insert(entry.file);
    }
    std::set<std::string> drawings;
    for (const auto& file : std::filesystem::directory_iterator(kImagesDir)) {
        if (file.path().extension() != ".svg") {
            continue;
        }
        const std::string name = file.path().filename().string();
        drawings.insert(name);
        EXPECT_TRUE(inTable.contains(name)) << name << " has no row in the table";
        const std::string text = ReadText(file.path());
        for (const char* trace : {"inkscape", "sodipodi", "<metadata", "data:image", "<image"}) {
            EXPECT_EQ(text.find(trace), std::string::npos) << name << " holds " << trace;
        }
    }
    for (const std::string& file : inTable) {
        EXPECT_TRUE(drawings.contains(file)) << "the table names " << file << ", which is missing";
    }
}

// Every image loads, has the table's size and enough pixels to stay sharp at 144 DPI, and is not blank.
TEST_F(CDrawingTest, EveryImageOfTheTableLoadsWithItsSize) {
    for (const ImageEntry& entry : Entries()) {
        SCOPED_TRACE(entry.file);
        Gdiplus::Bitmap* bitmap = nullptr;
        ASSERT_TRUE(LoadPngFromResource(entry.id, &bitmap)) << "no PNG resource " << entry.id;
        EXPECT_EQ(static_cast<int>(bitmap->GetWidth()), entry.pixels.width);
        EXPECT_EQ(static_cast<int>(bitmap->GetHeight()), entry.pixels.height);
        EXPECT_GE(entry.pixels.width * 2, entry.shown.width * 3) << "too few pixels for 144 DPI";
        EXPECT_GE(entry.pixels.height * 2, entry.shown.height * 3) << "too few pixels for 144 DPI";
        EXPECT_TRUE(HasInk(*bitmap)) << "the image is blank";
        delete bitmap;
    }
}

TEST(ImageTableTest, EveryImageOfTheProgramIsInTheTable) {
    std::set<std::string> names;
    for (int id : TableIds()) {
        names.insert(std::to_string(id) + ".png");
    }
    const platform::ModuleResources* resources = platform::ProgramResources();
    ASSERT_NE(resources, nullptr);
    for (const platform::EmbeddedFile* file = resources->images; file && file->name; ++file) {
        EXPECT_TRUE(names.contains(file->name)) << file->name << " is not an image of the table";
    }
}

TEST(ImageTableTest, EveryImageTheProgramLoadsIsInTheTable) {
    const std::set<int> ids = TableIds();
    for (const char* folder : kProgramFolders) {
        if (!std::filesystem::exists(kSourceDir / folder)) {
            continue;
        }
        for (const auto& file : std::filesystem::recursive_directory_iterator(kSourceDir / folder)) {
            const auto extension = file.path().extension();
            if (extension != ".cpp" && extension != ".h") {
                continue;
            }
            for (int id : IdsNamedIn(ReadText(file.path()))) {
                EXPECT_TRUE(ids.contains(id))
                    << file.path().string() << " loads image " << id << ", which the table does not hold";
            }
        }
    }
}

struct NamedIdsCase {
    const char* name;
    const char* source;
    std::set<int> ids;
};

class IdsNamedInTest : public testing::TestWithParam<NamedIdsCase> {};

TEST_P(IdsNamedInTest, FindsTheIdsInImageCallsAndConstants) {
    EXPECT_EQ(IdsNamedIn(GetParam().source), GetParam().ids);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, IdsNamedInTest,
    testing::Values(
        NamedIdsCase{"FeatureImages", "SetImages(pParent, 365, 364, 366, 0, 0, 0, 0, 0);", {364, 365, 366}},
        NamedIdsCase{"HexColoursAreNoIds", "m_close.SetImages(170, 170, 0xFF4377EE, 0xFFE91022);", {170}},
        NamedIdsCase{"IconState", "SetIconState(407, 2);", {407}},
        NamedIdsCase{"Constant", "constexpr int kPngEyeCareOn = 525;", {525}},
        NamedIdsCase{"OtherCallsAndSmallNumbers", "MoveWindow(0, 0, 354, 98); SetIconState(m_nId, 3);", {}},
        NamedIdsCase{"OneStatementOnly", "LoadPngFromResource(162, &p); Sleep(100);", {162}}),
    [](const testing::TestParamInfo<NamedIdsCase>& info) { return info.param.name; });

} // namespace
