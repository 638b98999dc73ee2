// Paths: stored paths may use either separator, and data names are matched without regard to
// case, as the data files were written on a case-insensitive system.
#pragma once

#include <string>
#include <string_view>

namespace plat {

std::string JoinPath(const std::string& dir, const std::string& name);
// "a/b/c.txt" -> "a/b"; "c.txt" -> ""; "/c" -> "/".
std::string DirName(const std::string& path);
std::string BaseName(const std::string& path);
// Backslashes become slashes.
std::string ToNativeSeparators(std::string path);

// Returns the existing path that matches `path` component by component, ignoring ASCII case
// where the exact name is missing. Components that match nothing are kept as given, so the
// result also names a file about to be created in an existing folder.
std::string ResolvePath(const std::string& path);

// A stored UTF-16 path as Linux takes it: separators converted, a drive letter replaced by the
// folder it maps onto (platform/sys/Drives.h), UTF-8, resolved as above.
std::string NativePath(std::u16string_view path);
// The same without the matching of case: NativePath gives this back whenever it exists.
std::string UnresolvedNativePath(std::u16string_view path);

}  // namespace plat
