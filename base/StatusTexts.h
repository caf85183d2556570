// Every text the tool shows in its status line, verbatim: users and support staff know them.
#pragma once

namespace texts {
inline constexpr char kDriverNotFound[] = "KALDIR USB Driver not found!!";
inline constexpr char kFileReading[] = "File reading....";
inline constexpr char kFileNotFound[] = "File not found!!";
// The only text with a final full stop: memory for the file buffer itself.
inline constexpr char kNoMemoryForFile[] = "Not enough memory! try closing some applications.";
inline constexpr char kFileReadError[] = "File read error!!";
// Any later memory shortage.
inline constexpr char kNoMemory[] = "Not enough memory! try closing some applications";
inline constexpr char kFileFormatError[] = "File format error!!";
inline constexpr char kDeviceOpen[] = "Device open....";
inline constexpr char kDeviceOpenFailed[] = "Device open failed!!";
inline constexpr char kUninstalling[] = "Uninstalling....";
inline constexpr char kUninstallFailed[] = "Uninstall failed!!";
inline constexpr char kInstallingFormat[] = "Installing.... (%2d/%2d)";
inline constexpr char kInstallFailed[] = "Install failed!!";
inline constexpr char kComplete[] = "Complete!";
inline constexpr char kCompleteRestart[] = "Complete! please restart PQ4400.";
// The ports chosen are used, but the next start will not know them.
inline constexpr char kPortsNotRemembered[] = "Ports not remembered!!";
} // namespace texts
