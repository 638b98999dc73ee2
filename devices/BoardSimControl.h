// Scripting the board simulator from C++ (tests, the demo's tools): loads the same module the
// program loads and reaches the simulator's own exports. See BoardSim.h for the commands.
#pragma once

#include <string>
#include <vector>

#include "devices/BoardModule.h"
#include "devices/BoardSim.h"
#include "platform/sys/Module.h"

namespace emu {

class BoardSimControl {
public:
    // `module` as the program names it; the simulator's state is shared with the program's use
    // of the module in this process.
    bool Load(const std::string& module = BOARD_MODULE_NAME) {
        if (!m_module.Load(module))
            return false;
        m_command = reinterpret_cast<PFN_BoardSim_Command>(m_module.Symbol(BOARD_SIM_COMMAND));
        m_script = reinterpret_cast<PFN_BoardSim_Script>(m_module.Symbol(BOARD_SIM_SCRIPT));
        m_logCount = reinterpret_cast<PFN_BoardSim_LogCount>(m_module.Symbol(BOARD_SIM_LOG_COUNT));
        m_logLine = reinterpret_cast<PFN_BoardSim_LogLine>(m_module.Symbol(BOARD_SIM_LOG_LINE));
        m_clearLog = reinterpret_cast<PFN_BoardSim_ClearLog>(m_module.Symbol(BOARD_SIM_CLEAR_LOG));
        m_get = reinterpret_cast<PFN_BoardSim_Get>(m_module.Symbol(BOARD_SIM_GET));
        return IsLoaded();
    }
    bool IsLoaded() const {
        return m_command && m_script && m_logCount && m_logLine && m_clearLog && m_get;
    }

    bool Command(const std::string& line) { return m_command && m_command(line.c_str()) == 0; }
    // 0, or the number of the first line not understood.
    int Script(const std::string& text) { return m_script ? m_script(text.c_str()) : -1; }
    long Get(const std::string& name) const { return m_get ? m_get(name.c_str()) : -1; }
    // The clock of the simulated tuner's seek and scan times (null: the monotonic clock).
    bool SetClock(uint64_t (*tickMs)(void)) {
        auto set = reinterpret_cast<PFN_BoardSim_SetClock>(m_module.Symbol(BOARD_SIM_SET_CLOCK));
        if (!set)
            return false;
        set(tickMs);
        return true;
    }
    void ClearLog() {
        if (m_clearLog)
            m_clearLog();
    }
    std::vector<std::string> Log() const {
        std::vector<std::string> lines;
        if (!m_logCount || !m_logLine)
            return lines;
        size_t count = m_logCount();
        for (size_t i = 0; i < count; ++i) {
            char buf[512];
            if (m_logLine(i, buf, sizeof buf) < 0)
                break;
            lines.emplace_back(buf);
        }
        return lines;
    }

private:
    plat::Module m_module;
    PFN_BoardSim_Command m_command = nullptr;
    PFN_BoardSim_Script m_script = nullptr;
    PFN_BoardSim_LogCount m_logCount = nullptr;
    PFN_BoardSim_LogLine m_logLine = nullptr;
    PFN_BoardSim_ClearLog m_clearLog = nullptr;
    PFN_BoardSim_Get m_get = nullptr;
};

}  // namespace emu
