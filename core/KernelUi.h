// What the kernel needs of the user-interface layer: its start-up boxes and the cursor.
#pragma once

#include <cstdint>

enum : uint32_t {
    KERNEL_MB_OK = 0x00,
    KERNEL_MB_ICONERROR = 0x10,
    KERNEL_MB_ICONWARNING = 0x30,
};

// Shows a modal box with no owner window; returns the button chosen.
int KernelMessageBox(const char16_t* text, const char16_t* caption, uint32_t flags);
void KernelShowCursor(bool show);
// Answers what waits for the calling user-interface thread (sends from other threads).
void KernelPumpMessages();

#include <string>
#include <utility>
#include <vector>
// Boxes shown so far (caption, text), oldest first; the list is emptied.
std::vector<std::pair<std::u16string, std::u16string>> KernelTakeMessageBoxes();
