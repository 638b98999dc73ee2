// Result codes and names shared by every interface of the library.
#pragma once

#include <cstdint>

// Every library operation answers a 16-bit code (or a count where it says so).
typedef uint16_t RZRESULT;

#define RZ_OK ((RZRESULT)0x0000)
#define RZ_NOT_SUPPORTED ((RZRESULT)0x0001)
#define RZ_NONE ((RZRESULT)0x0002)
#define RZ_NOT_OPEN ((RZRESULT)0x0101)
#define RZ_MISS ((RZRESULT)0xFF01)
#define RZ_HIT ((RZRESULT)0xFF02)
#define RZ_FAIL ((RZRESULT)0xFFFF)

namespace KvMultimedia {
class IKvImage;
class IKvPlayer;
class IKvPlaylist;
class IKvPListContainer;
}  // namespace KvMultimedia

namespace KvUtility {
class IKvList;
class IKvDirectory;
class IKvFile;
}  // namespace KvUtility

namespace KvUserInterface {
class IKvButton;
class IKvText;
class IKvListbox;
class IKvListboxHandler;
}  // namespace KvUserInterface
