// The two shipped executables as files: they import only the system's DLLs and carry the
// application manifest; the dialog program carries its version.
#include "WinePath.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

TEST(Binaries, ImportOnlySystemDllsAndCarryManifestAndVersion)
{
    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "comdlg32.dll",
                                          "winmm.dll", "advapi32.dll", "msvcrt.dll", "shell32.dll", "ole32.dll"};
    for (const std::string& program : {ToWindowsPath(VERSIONUP_EXE), ToWindowsPath(VERSIONUP_CLI_EXE)}) {
        // Mapped as an image, without its imports resolved: the import directory by address.
        const HMODULE image = LoadLibraryExA(program.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
        ASSERT_NE(image, nullptr) << program;
        const auto* base = reinterpret_cast<const uint8_t*>(image);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
            base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
        for (; import->Name != 0; ++import) {
            std::string dll = reinterpret_cast<const char*>(base + import->Name);
            CharLowerA(dll.data());
            EXPECT_TRUE(system.count(dll) == 1 || dll.starts_with("api-ms-win-")) << program << ": " << dll;
        }
        const HRSRC manifest = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));   // RT_MANIFEST
        ASSERT_NE(manifest, nullptr) << program;
        const std::string text(static_cast<const char*>(LockResource(LoadResource(image, manifest))),
                               SizeofResource(image, manifest));
        EXPECT_NE(text.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos) << program;
        FreeLibrary(image);
    }
    const std::string program = ToWindowsPath(VERSIONUP_EXE);
    std::vector<char> info(GetFileVersionInfoSizeA(program.c_str(), nullptr));
    ASSERT_TRUE(GetFileVersionInfoA(program.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    char* fileVersion = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00020000u);
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\041104b0\\FileVersion",
                               reinterpret_cast<void**>(&fileVersion), &length));
    EXPECT_STREQ(fileVersion, "V1.02");
}
