// versionup-cli's exit codes, which scripts act on.
#pragma once

inline constexpr int kExitComplete = 0;       // "Complete!", or --check found the file valid
inline constexpr int kExitFailure = 1;        // any failure of the update, or a file --check refuses
inline constexpr int kExitCompleteRestart = 2; // "Complete! please restart PQ4400."
inline constexpr int kExitUsage = 64;         // a wrong command line; nothing was opened
