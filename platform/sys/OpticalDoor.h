// The tray of an optical drive.
#pragma once

#include <string>

namespace plat {

// Opens the tray of the optical drive `device` ("/dev/sr0"). False when it is no drive (a
// missing node, a plain file, a disc image) or the drive refuses (no tray, a locked door).
// Never waits for a disc to spin up.
bool OpenOpticalDoor(const std::string& device);

}  // namespace plat
