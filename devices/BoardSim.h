/* The board simulator: a board device module (BoardModule.h) that stands in for the real board,
 * built as libLibrary.so beside the program. Besides CreateRARA it exports the functions below,
 * with which tests and the demo script it and read back what the program did with it.
 *
 * Every call the program makes is one line of the call log, in the form
 *     <interface> <slot> <Name>(<arguments>) = <result>[ -> <outputs>]
 * e.g. "audio 5 SetVolume(16) = 0", "keys 0 GetKey() = 0 -> 0x10 0x01",
 * "radio 3 GetFrequency() = 0 -> 0x22 0x2E". Numbers in arguments are decimal, bytes handed out
 * are hexadecimal. CreateRARA logs "CreateRARA()". The status byte a call fills is 0 (or the
 * call's result where that is not 0), but for SelectSource, which echoes the source.
 *
 * Script commands, one a line ('#' starts a comment):
 *     reset                     factory state, empty key queue, empty call log
 *     ready 0|1                 what audio slot 39 answers (default 1)
 *     open-result N             what audio slot 35 returns (default 0: the port opened)
 *     device 0|1                whether factory slot 1 makes a device (default 1)
 *     version TEXT              the firmware version text (default "SIM-1.00")
 *     status 0xNN               the board status byte (status slot 3; bit 0x40 = locks)
 *     key GROUP CODE            queues a key event for keys slot 0
 *     key-gap N                 the next queued key comes only after N more polls
 *     volume N                  the board's volume level 0..32
 *     night 0|1                 the light sensor's night flag
 *     auto-light 0|1            whether the light sensor sets the picture (default 1)
 *     station FREQ [stereo] [strength N]
 *                               a receivable station (FM 8750..10800, AM 522..1620), strength
 *                               0..100 (default 0): auto-store keeps the nine strongest of the
 *                               band, stored in order of frequency
 *     clear-stations
 *     seek-polls N              tuner status reads a seek stays busy (default 0)
 *     scan-polls N              tuner status reads an auto-store scan stays busy (default 2)
 *     seek-time MS              a seek stays busy (0x80) for MS on the tuner's clock, then
 *                               reports 0x40 on the next station, or nothing on an empty band
 *     scan-time MS              an auto-store scan stays busy (0x10) for MS on that clock
 *     tuner-fault none|status|all   status: the tuner status cannot be read; all: every
 *                               radio call fails and does nothing (both answer 1)
 *     log-file [PATH]           also append every call-log line to PATH (none: stop)
 * Numbers may be decimal or 0x hexadecimal.
 *
 * The tuner's clock is the monotonic clock unless BoardSim_SetClock gives another (reset
 * takes it back).
 *
 * When the module is first used, the environment variable VELKORA_BOARD_SCRIPT may name a script
 * file to run and VELKORA_BOARD_LOG a call-log file. */
#ifndef VELKORA_DEVICES_BOARD_SIM_H
#define VELKORA_DEVICES_BOARD_SIM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One command; 0 when it was understood, -1 otherwise. */
typedef int (*PFN_BoardSim_Command)(const char* line);
/* Several lines; 0, or the number (from 1) of the first line not understood. */
typedef int (*PFN_BoardSim_Script)(const char* text);
typedef size_t (*PFN_BoardSim_LogCount)(void);
/* Copies line `index` (NUL-terminated, cut to fit); its full length, or -1 past the end. */
typedef int (*PFN_BoardSim_LogLine)(size_t index, char* buffer, size_t size);
typedef void (*PFN_BoardSim_ClearLog)(void);
/* A value of the simulated board by name, -1 for an unknown name: "volume", "mute", "source",
 * "input", "eq-preset", "loudness", "fader", "balance", "surround", "brightness", "contrast",
 * "saturation", "backlight", "backlight-power", "auto-light", "night", "band", "frequency",
 * "tuner-status", "status", "keys-queued", "commits", "restores", "devices" (live device
 * objects), "channel B N" (stored channel N of band B), "eq-gain B" (the gain last set for
 * equaliser band B, 0 before any).
 * Video slot 18 is the display reset: brightness, contrast and saturation 5, backlight 9 by
 * day or 3 by night, the light sensor in charge again. */
typedef long (*PFN_BoardSim_Get)(const char* name);
/* The clock (milliseconds) by which seek-time and scan-time run; null: the monotonic clock. */
typedef void (*PFN_BoardSim_SetClock)(uint64_t (*tickMs)(void));

#define BOARD_SIM_COMMAND "BoardSim_Command"
#define BOARD_SIM_SCRIPT "BoardSim_Script"
#define BOARD_SIM_LOG_COUNT "BoardSim_LogCount"
#define BOARD_SIM_LOG_LINE "BoardSim_LogLine"
#define BOARD_SIM_CLEAR_LOG "BoardSim_ClearLog"
#define BOARD_SIM_GET "BoardSim_Get"
#define BOARD_SIM_SET_CLOCK "BoardSim_SetClock"

#ifdef __cplusplus
}  // extern "C"
#endif

#endif /* VELKORA_DEVICES_BOARD_SIM_H */
