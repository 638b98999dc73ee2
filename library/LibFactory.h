// Constructors behind the root object's factory slots, one per object kind. Each sets *out
// to null first and gives the caller one reference on success.
#pragma once

#include "library/include/Vantrel.h"

namespace KvMultimedia {
RZRESULT NewPlayer(IKvPlayer** out);
RZRESULT NewPlaylist(IKvPlaylist** out);
RZRESULT NewPListContainer(IKvPListContainer** out);
RZRESULT NewImage(IKvImage** out, const char16_t* path);
// A picture kept no larger than maxWidth x maxHeight (0: as stored).
RZRESULT NewImage(IKvImage** out, const char16_t* path, int maxWidth, int maxHeight);
}  // namespace KvMultimedia

namespace KvUtility {
RZRESULT NewList(IKvList** out);
RZRESULT NewDirectory(IKvDirectory** out);
RZRESULT NewFile(IKvFile** out);
}  // namespace KvUtility

namespace KvUserInterface {
RZRESULT NewText(IKvText** out);
RZRESULT NewButton(IKvButton** out);
RZRESULT NewListbox(IKvListbox** out);
}  // namespace KvUserInterface
