#include "platform/io/Path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <vector>

#include "platform/sys/Drives.h"
#include "platform/text/Text.h"

namespace plat {

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    if (name.empty())
        return dir;
    if (dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

std::string DirName(const std::string& path) {
    size_t pos = path.find_last_of('/');
    if (pos == std::string::npos)
        return "";
    if (pos == 0)
        return "/";
    return path.substr(0, pos);
}

std::string BaseName(const std::string& path) {
    size_t pos = path.find_last_of('/');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string ToNativeSeparators(std::string path) {
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

namespace {

bool Exists(const std::string& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
}

bool EqualNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x += 32;
        if (y >= 'A' && y <= 'Z')
            y += 32;
        if (x != y)
            return false;
    }
    return i == a.size() && !b[i];
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

std::string ResolvePath(const std::string& path) {
    if (path.empty() || Exists(path))
        return path;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    std::string cur = path[0] == '/' ? "/" : "";
    bool lost = false;  // once a folder is missing, the rest is taken as given
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part.empty() || part == ".") {
            if (part == "." && cur.empty())
                cur = ".";
            continue;
        }
        std::string exact = cur.empty() ? part : JoinPath(cur, part);
        if (lost || part == ".." || Exists(exact)) {
            cur = exact;
            continue;
        }
        std::unique_ptr<DIR, DirCloser> dir(::opendir(cur.empty() ? "." : cur.c_str()));
        std::string match;
        if (dir) {
            while (dirent* e = ::readdir(dir.get())) {
                if (EqualNoCase(part, e->d_name)) {
                    match = e->d_name;
                    break;
                }
            }
        }
        if (match.empty()) {
            lost = true;
            cur = exact;
        } else {
            cur = cur.empty() ? match : JoinPath(cur, match);
        }
    }
    if (!path.empty() && path.back() == '/' && (cur.empty() || cur.back() != '/'))
        cur += '/';
    return cur;
}

std::string NativePath(std::u16string_view path) {
    return ResolvePath(UnresolvedNativePath(path));
}

std::string UnresolvedNativePath(std::u16string_view path) {
    return Drives().MapPath(ToNativeSeparators(Utf16ToUtf8(path)));
}

}  // namespace plat
