/* What the virtual console driver (winevconsole.drv) offers a test that runs in the same
   process as the winmm that loaded it: change the console's behaviour between runs, read its
   flash and its counters. The device lists cannot change: winmm reads them once, at load. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VConsoleStats {
    uint32_t received;       /* messages received, malformed ones included */
    uint32_t replies;        /* replies handed to the tool (SysEx and damaged ones) */
    uint32_t violations;     /* malformed messages, not answered */
    uint32_t dropped;        /* replies the tool never got: no input buffer queued, input not
                                started or closed when due, or the ports closed first */
    uint32_t refused;        /* messages refused by refuse_send */
    uint32_t configProblems; /* rejected configuration lines, unreadable files */
    /* Sum over the replies handed over of the real time from a message's arrival in the driver
       to its reply's first buffer going to the tool: latency and delays as actually applied. */
    uint64_t replyDelayUs;
    /* The tool's side of the round trips: summed real time from a reply's first buffer going to
       the tool to the arrival of the tool's next message, and the number of such round trips. */
    uint64_t turnaroundUs;
    uint32_t turnarounds;
} VConsoleStats;

/* Replaces the console's behaviour with configuration text (same format as the file named by
   VCONSOLE_CONFIG; device lines are rejected). Fault counts and counters start afresh; the flash
   changes only with flash_fill or flash_load; journal and flash_dump paths stay unless given.
   Returns the number of rejected lines and unreadable files, 0 when all was taken. */
int VConsoleConfigure(const char* text);
/* Copies flash bytes from `address`; returns how many (fewer at the end of the 4 MB). */
uint32_t VConsoleReadFlash(uint32_t address, uint8_t* out, uint32_t count);
void VConsoleGetStats(VConsoleStats* stats);
/* Copies the text of violation `index` (from 0) into `text` (cut to `size` - 1 characters) and
   returns its full length, or -1 when there are not that many violations. */
int VConsoleGetViolation(uint32_t index, char* text, uint32_t size);

#ifdef __cplusplus
}

#ifdef _WIN32
#include <windows.h>

/* The entry points, found in the driver that winmm has loaded. */
struct CVirtualConsoleApi {
    decltype(&VConsoleConfigure) Configure = nullptr;
    decltype(&VConsoleReadFlash) ReadFlash = nullptr;
    decltype(&VConsoleGetStats) GetStats = nullptr;
    decltype(&VConsoleGetViolation) GetViolation = nullptr;

    /* True when the virtual console is this process's MIDI driver. Call it after the first
       winmm MIDI call (winmm loads its drivers then). */
    bool Load()
    {
        HMODULE driver = GetModuleHandleA("winevconsole.drv");
        if (!driver)
            return false;
        Configure = reinterpret_cast<decltype(Configure)>(
            reinterpret_cast<void*>(GetProcAddress(driver, "VConsoleConfigure")));
        ReadFlash = reinterpret_cast<decltype(ReadFlash)>(
            reinterpret_cast<void*>(GetProcAddress(driver, "VConsoleReadFlash")));
        GetStats = reinterpret_cast<decltype(GetStats)>(
            reinterpret_cast<void*>(GetProcAddress(driver, "VConsoleGetStats")));
        GetViolation = reinterpret_cast<decltype(GetViolation)>(
            reinterpret_cast<void*>(GetProcAddress(driver, "VConsoleGetViolation")));
        return Configure && ReadFlash && GetStats && GetViolation;
    }
};
#endif
#endif
