#include "core/KernelUi.h"

#include <cstdio>
#include <mutex>

#include "platform/text/Text.h"

namespace {
std::mutex g_mutex;
std::vector<std::pair<std::u16string, std::u16string>> g_boxes;
}  // namespace

int KernelMessageBox(const char16_t* text, const char16_t* caption, uint32_t) {
    std::fprintf(stderr, "%s: %s\n", plat::Utf16ToUtf8(caption ? caption : u"").c_str(),
                 plat::Utf16ToUtf8(text ? text : u"").c_str());
    std::lock_guard<std::mutex> lock(g_mutex);
    g_boxes.emplace_back(caption ? caption : u"", text ? text : u"");
    return 1;
}

void KernelShowCursor(bool) {}

void KernelPumpMessages() {}

std::vector<std::pair<std::u16string, std::u16string>> KernelTakeMessageBoxes() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return std::move(g_boxes);
}
