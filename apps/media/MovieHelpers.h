// What the movie page's source files share: paths compared as the file system does, the video
// files of a folder, and the log of started films.
#pragma once

#include <string>
#include <vector>

#include "library/include/IKvPlaylist.h"

namespace moviepage {

bool SamePath(const std::u16string& a, const std::u16string& b);
// The video files of one folder in name order, as the file list shows them.
std::vector<std::u16string> MovieFilesOf(std::u16string folder);
// With the marker file in the base folder, every film started from the list or at the end of
// another is logged.
void LogPlay(const std::u16string& path);
// Makes `name` in `folder` the current entry of `playlist`.
void MakeCurrent(KvMultimedia::IKvPlaylist* playlist, const std::u16string& name,
                 const std::u16string& folder);

}  // namespace moviepage
