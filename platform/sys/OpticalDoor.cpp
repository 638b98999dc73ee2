#include "platform/sys/OpticalDoor.h"

#include <climits>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

bool OpenOpticalDoor(const std::string& device) {
    if (device.empty())
        return false;
    // Without O_NONBLOCK the open waits for (and fails without) a disc.
    int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISBLK(st.st_mode) && ::ioctl(fd, CDROMEJECT, 0) == 0;
    ::close(fd);
    return ok;
}

}  // namespace plat
