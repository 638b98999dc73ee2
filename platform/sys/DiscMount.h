// Mounting a data disc that nobody mounted, the way a Linux system does it for a user's
// program: udisks2 over D-Bus where it runs (the disc then lands where the desktop would put
// it), else, for a unit running as root, mount(2) read-only on a folder of the unit's own.
// Both block: call them off the user-interface thread.
#pragma once

#include <string>

#include "platform/sys/DrivesApi.h"

namespace plat {

// Mounts the disc in `device` read-only. `ownFolder` is where mount(2) puts it (made when
// missing). True with `mountPoint` set when mounted; false with `why` saying what each way
// answered.
PLAT_DRIVES_API bool MountDisc(const std::string& device, const std::string& ownFolder,
                               std::string& mountPoint, std::string& why);

// Makes every MountDisc in flight give up its wait for udisks2 at once (it then answers
// false). A mount(2) that hangs in the kernel cannot be called back. Any thread.
PLAT_DRIVES_API void CancelDiscMounts();

// Takes a disc off a folder of the unit's own (the disc left the drive); lazily, so a reader
// still inside does not hold it.
PLAT_DRIVES_API bool UnmountOwnFolder(const std::string& folder);

}  // namespace plat
