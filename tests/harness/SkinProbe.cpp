#include "tests/harness/SkinProbe.h"

#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

#include "core/kernel/Utf16File.h"
#include "platform/gfx/ImageFile.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnit.h"

namespace harness {

namespace {

using Section = std::map<std::string, std::string>;

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::string HomepageFolder() {
    return RunFolder() + "/Skin/Default/Homepage";
}

std::map<std::string, Section> ReadLayout() {
    std::map<std::string, Section> out;
    std::u16string text;
    if (!ReadUtf16File(HomepageFolder() + "/DefaultLayout.ini", text))
        return out;
    std::istringstream in(plat::Utf16ToUtf8(text));
    std::string line, section;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        size_t eq = line.find('=');
        if (eq != std::string::npos)
            out[section][Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
    }
    return out;
}

std::vector<std::string> Fields(const std::string& value) {
    std::vector<std::string> f;
    std::istringstream in(value);
    std::string item;
    while (std::getline(in, item, ','))
        f.push_back(Trim(item));
    return f;
}

bool Near(uint32_t a, uint32_t b) {
    for (int shift = 0; shift < 32; shift += 8) {
        int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(d) > 3)
            return false;
    }
    return true;
}

}  // namespace

::testing::AssertionResult ShowsHomepageIcon(const plat::Surface& screen, int seat,
                                             const std::string& appKey, int frame) {
    auto layout = ReadLayout();
    std::vector<std::string> entry = Fields(layout["Available Applications"][appKey]);
    std::vector<std::string> place = Fields(layout["Applications"][appKey]);
    if (entry.empty() || place.size() < 2)
        return ::testing::AssertionFailure() << appKey << " is not in the skin's homepage";
    if (place[0] != "1")
        return ::testing::AssertionFailure() << appKey << " is not on page 1";
    char item[16];
    std::snprintf(item, sizeof item, "Item%02d", std::atoi(place[1].c_str()));
    std::vector<std::string> rect = Fields(layout[seat == 0 ? "Item Position" : "Rear Item"][item]);
    if (rect.size() < 4)
        return ::testing::AssertionFailure() << "no " << item << " for seat " << seat;
    int x0 = std::atoi(rect[0].c_str()), y0 = std::atoi(rect[1].c_str());

    plat::Surface icon;
    if (!plat::LoadImageFile(HomepageFolder() + "/" + entry[0], icon))
        return ::testing::AssertionFailure() << "cannot read " << entry[0];
    int w = icon.Width() / 4;
    int opaque = 0, same = 0;
    for (int y = 0; y < icon.Height(); ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t p = icon.PixelAt(frame * w + x, y);
            if ((p >> 24) != 0xFF)
                continue;
            ++opaque;
            if (x0 + x < screen.Width() && y0 + y < screen.Height() &&
                Near(p, screen.PixelAt(x0 + x, y0 + y)))
                ++same;
        }
    }
    if (opaque == 0)
        return ::testing::AssertionFailure() << entry[0] << " has no opaque pixel";
    if (same * 100 < opaque * 97)
        return ::testing::AssertionFailure()
               << appKey << " frame " << frame << " at (" << x0 << ", " << y0 << ") of seat "
               << seat << ": " << same << " of " << opaque << " pixels as drawn";
    return ::testing::AssertionSuccess();
}

plat::Point HomepageIconCentre(int seat, const std::string& appKey, int* page) {
    auto layout = ReadLayout();
    std::vector<std::string> place = Fields(layout["Applications"][appKey]);
    if (place.size() < 2)
        return plat::Point{-1, -1};
    if (page)
        *page = std::atoi(place[0].c_str());
    char item[16];
    std::snprintf(item, sizeof item, "Item%02d", std::atoi(place[1].c_str()));
    std::vector<std::string> rect = Fields(layout[seat == 0 ? "Item Position" : "Rear Item"][item]);
    if (rect.size() < 4)
        return plat::Point{-1, -1};
    return plat::Point{
        (seat == 0 ? 0 : 800) + std::atoi(rect[0].c_str()) + std::atoi(rect[2].c_str()) / 2,
        std::atoi(rect[1].c_str()) + std::atoi(rect[3].c_str()) / 2};
}

::testing::AssertionResult ShowsHomepage(const plat::Surface& screen, int seat) {
    for (const char* app : {"APPTYPE_MUSIC", "APPTYPE_PHOTO"}) {
        auto normal = ShowsHomepageIcon(screen, seat, app, 0);
        if (!normal && !ShowsHomepageIcon(screen, seat, app, 1))
            return normal;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Filled(const plat::Surface& screen, const plat::Rect& rect,
                                  uint32_t argb) {
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            if (x >= screen.Width() || y >= screen.Height() || screen.PixelAt(x, y) != argb) {
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") is " << std::hex
                       << (x < screen.Width() && y < screen.Height() ? screen.PixelAt(x, y) : 0)
                       << ", not " << argb;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace harness
