#include "platform/sys/Module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

#include "platform/io/Path.h"

namespace plat {

Module& Module::operator=(Module&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        other.m_handle = nullptr;
    }
    return *this;
}

std::string ExecutableDir() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    buf[n] = '\0';
    return DirName(buf);
}

std::string ModuleFilePath(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return name;
    std::string base = name;
    if (base.size() > 4) {
        std::string ext = base.substr(base.size() - 4);
        for (char& c : ext)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (ext == ".dll")
            base.resize(base.size() - 4);
    }
    if (base.size() < 3 || base.compare(base.size() - 3, 3, ".so") != 0)
        base = "lib" + base + ".so";
    return JoinPath(ExecutableDir(), base);
}

bool Module::Load(const std::string& name) {
    Close();
    std::string path = ModuleFilePath(name);
    m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* e = ::dlerror();
        m_error = e ? e : ("cannot load " + path);
        return false;
    }
    m_error.clear();
    return true;
}

void* Module::Symbol(const char* name) const {
    if (!m_handle)
        return nullptr;
    return ::dlsym(m_handle, name);
}

void Module::Close() {
    if (m_handle) {
        ::dlclose(m_handle);
        m_handle = nullptr;
    }
}

}  // namespace plat
