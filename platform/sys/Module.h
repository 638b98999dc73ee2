// Loadable modules. A module named "X.dll" is the file libX.so beside the executable.
#pragma once

#include <string>

namespace plat {

class Module {
public:
    Module() = default;
    ~Module() { Close(); }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    Module(Module&& other) noexcept : m_handle(other.m_handle) { other.m_handle = nullptr; }
    Module& operator=(Module&& other) noexcept;

    // `name` is a module name ("Vantrel.dll", "Vantrel") or a path containing '/'.
    bool Load(const std::string& name);
    bool IsLoaded() const { return m_handle != nullptr; }
    void* Symbol(const char* name) const;
    // Keeps the module loaded for the rest of the process; the handle is dropped.
    void Leak() { m_handle = nullptr; }
    void Close();
    const std::string& Error() const { return m_error; }

private:
    void* m_handle = nullptr;
    std::string m_error;
};

// The folder of the running executable.
std::string ExecutableDir();
// "Vantrel.dll" -> "<exe dir>/libVantrel.so"; a name with '/' is kept as given.
std::string ModuleFilePath(const std::string& name);

}  // namespace plat
