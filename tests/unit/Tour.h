// The whole head unit as the demo run has it: the board simulator with the demo stations, the
// power-module emulator, the Bluetooth-module emulator with the demo phone book behind "com4",
// and demo music, pictures and a film in the media folders. A tour walks a seat through its
// pages, keeps a picture of each under the build folder and checks that every picture shows
// something new.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devices/BTModuleEmulator.h"
#include "platform/gfx/Surface.h"
#include "tests/harness/HeadUnit.h"

namespace tour {

// The source tree (devices/ holds the demo run's stations and phone book).
std::string SourceDir();
// Where the tours put their pictures: <build>/tour-pictures.
std::string PicturesDir();

// Reads the demo phone book (memory;number;name a line, '#' comments).
std::vector<emu::BTPhoneBookEntry> DemoPhoneBook();
// Short tones, pictures and a film in the base folder's "Velkora Media" folders.
void MakeDemoMedia(const std::string& base);

// Pixels that differ between two pictures of the same size (all of them when the sizes differ).
int Differences(const plat::Surface& a, const plat::Surface& b);
// Pixels that differ from the picture's most frequent colour.
int OffBackground(const plat::Surface& s);

class DemoUnit {
public:
    DemoUnit();
    ~DemoUnit();
    DemoUnit(const DemoUnit&) = delete;
    DemoUnit& operator=(const DemoUnit&) = delete;

    bool Start();
    harness::HeadUnit& Unit() { return *m_unit; }
    emu::BTModuleEmulator& Phone() { return *m_phone; }

private:
    std::unique_ptr<emu::BTModuleEmulator> m_phone;
    std::unique_ptr<harness::HeadUnit> m_unit;
};

// A walk through one seat's pages.
class Tour {
public:
    Tour(harness::HeadUnit& unit, int seat) : m_unit(unit), m_seat(seat) {}

    // The seat must show page `app`; its picture is kept as "<seat>-<nn>-<name>.png" and must
    // differ from a plain screen and from the picture before.
    void Shoot(int app, const std::string& name);
    // The same for a page that by design shows a plain screen of `argb` on this seat (the
    // settings pages have no rear skin).
    void ShootPlain(int app, const std::string& name, uint32_t argb);
    // A tap on the homepage icon `appKey` (turning the homepage to its page first).
    void Icon(const std::string& appKey);
    // A tap in the middle of a rectangle in the seat's co-ordinates.
    void TapAt(const plat::Rect& r);
    // A panel key (group 0x10) of the front seat; waits until the seat shows `app`.
    void Key(int code, int app);
    // What a page sends to open another (its own Back, or a page with no button leading to it).
    void Switch(int app, int caller = 0);
    // Back to the homepage as a page's Back does it.
    void Home();

    int Seat() const { return m_seat; }
    const std::vector<int>& Shown() const { return m_shown; }

private:
    plat::Surface Take(int app, const std::string& name, std::string* file);

    harness::HeadUnit& m_unit;
    int m_seat;
    int m_count = 0;
    plat::Surface m_last;
    std::vector<int> m_shown;
};

// The stored files of a base folder are each whole, and no temporary file of a save is left.
void ExpectStoredFilesWhole(const std::string& base);

}  // namespace tour
