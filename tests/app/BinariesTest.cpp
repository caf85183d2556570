// The shipped executables as files: their resources (read back without running them) and the
// DLLs they import.
#include "DialogTemplate.h"
#include "WinePath.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {
const std::string kDialogProgram = ToWindowsPath(VERSIONUP_EXE);
const std::string kCliProgram = ToWindowsPath(VERSIONUP_CLI_EXE);
constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// The module's resources, without running any of its code.
class CResourceFile {
public:
    explicit CResourceFile(const std::string& path)
        : m_module(::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE))
    {
    }
    ~CResourceFile()
    {
        if (m_module != nullptr)
            ::FreeLibrary(m_module);
    }
    HMODULE Module() const { return m_module; }
    // The bytes of resource `id` of `type` in the program's language; empty when missing.
    std::vector<uint8_t> Bytes(LPCSTR type, int id) const
    {
        const HRSRC found = ::FindResourceExA(m_module, type, MAKEINTRESOURCEA(id), kJapanese);
        if (found == nullptr)
            return {};
        const auto* data = static_cast<const uint8_t*>(::LockResource(::LoadResource(m_module, found)));
        return std::vector<uint8_t>(data, data + ::SizeofResource(m_module, found));
    }

private:
    HMODULE m_module;
};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Names of the DLLs in the PE import directory, lower case.
std::set<std::string> ImportedDlls(const std::vector<uint8_t>& file)
{
    std::set<std::string> dlls;
    if (file.size() < sizeof(IMAGE_DOS_HEADER))
        return dlls;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(file.data() + dos->e_lfanew);
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto offsetOf = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData))
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return 0;
    };
    const DWORD importRva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (size_t at = offsetOf(importRva); at != 0 && at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= file.size();
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(file.data() + at);
        if (descriptor->Name == 0)
            break;
        std::string name(reinterpret_cast<const char*>(file.data() + offsetOf(descriptor->Name)));
        dlls.insert(Lower(name));
    }
    return dlls;
}

// Dialog resource `id` of the dialog program, parsed.
::testing::AssertionResult ReadDialog(const CResourceFile& file, int id, DialogTemplate& dialog)
{
    const std::vector<uint8_t> bytes = file.Bytes(RT_DIALOG, id);
    if (!ParseDialogTemplate(bytes.data(), bytes.size(), dialog))
        return ::testing::AssertionFailure() << "dialog " << id << " is missing or malformed";
    return ::testing::AssertionSuccess();
}

// Position and size, in dialog units.
template <typename Box>
std::vector<int> Placement(const Box& box)
{
    return {box.x, box.y, box.cx, box.cy};
}

void ExpectItems(const std::vector<DialogItem>& items, const std::vector<DialogItem>& expected)
{
    ASSERT_EQ(items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const DialogItem& want = expected[i];
        const DialogItem& got = items[i];
        SCOPED_TRACE("control " + std::to_string(i) + " " + want.text);
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(Lower(got.className), want.className);
        EXPECT_EQ(got.text, want.text);
        EXPECT_EQ(Placement(got), Placement(want));
        EXPECT_EQ(got.style, want.style);
        EXPECT_EQ(got.exStyle, want.exStyle);
    }
}

void ExpectManifest(const std::string& program)
{
    SCOPED_TRACE(program);
    const CResourceFile file(program);
    ASSERT_NE(file.Module(), nullptr);
    const std::vector<uint8_t> bytes = file.Bytes(MAKEINTRESOURCEA(24), 1); // RT_MANIFEST, process manifest
    const std::string manifest(bytes.begin(), bytes.end());
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find(">true/PM</dpiAware>"), std::string::npos);
    EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    for (const char* os : {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"") + os + "\"/>"), std::string::npos) << os;
    // Version 6 of the common controls would draw the progress bar in segments.
    EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos);
}
} // namespace

TEST(Binaries, BothProgramsCarryTheManifest)
{
    ExpectManifest(kDialogProgram);
    ExpectManifest(kCliProgram);
}

TEST(Binaries, DialogProgramImportsOnlySystemDlls)
{
    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "comdlg32.dll",
                                          "winmm.dll", "advapi32.dll", "msvcrt.dll", "shell32.dll", "ole32.dll"};
    const std::set<std::string> imported = ImportedDlls(ReadFile(kDialogProgram));
    ASSERT_FALSE(imported.empty());
    for (const std::string& dll : imported) {
        const bool apiSet = dll.rfind("api-ms-win-", 0) == 0;
        EXPECT_TRUE(system.count(dll) == 1 || apiSet) << dll;
    }
    EXPECT_EQ(imported.count("winmm.dll"), 1u);
    EXPECT_EQ(imported.count("comctl32.dll"), 1u);
}

TEST(Binaries, MainDialogTemplate)
{
    const CResourceFile file(kDialogProgram);
    DialogTemplate dialog;
    ASSERT_TRUE(ReadDialog(file, IDD_VERSIONUP_DIALOG, dialog));
    EXPECT_TRUE(dialog.extended);
    EXPECT_EQ(dialog.style, DWORD(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(dialog.exStyle, DWORD(WS_EX_APPWINDOW));
    EXPECT_EQ(Placement(dialog), std::vector<int>({0, 0, 265, 150}));
    EXPECT_EQ(dialog.caption, "PQ4400 Version up Program");
    // The Japanese face name survives only when the script is compiled as UTF-8.
    EXPECT_EQ(dialog.face, L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF");
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(dialog.weight, FW_NORMAL);
    EXPECT_EQ(dialog.italic, 0);
    EXPECT_EQ(dialog.charset, DEFAULT_CHARSET);

    const DWORD child = WS_CHILD | WS_VISIBLE;
    ExpectItems(dialog.items, {
        {1000, "button", "&Browse", 208, 54, 50, 14, child | BS_PUSHBUTTON | WS_TABSTOP, 0},
        {1001, "edit", "", 50, 54, 144, 14, child | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0},
        {1002, "button", "&Load", 172, 127, 86, 16, child | BS_PUSHBUTTON | WS_TABSTOP, 0},
        {1007, "msctls_progress32", "Progress1", 50, 107, 208, 10, child | WS_BORDER | PBS_SMOOTH, 0},
        {1012, "static", "", 51, 79, 207, 21, child | SS_CENTER | SS_CENTERIMAGE | WS_GROUP, WS_EX_STATICEDGE},
        {-1, "static", "Input Port :", 6, 31, 42, 8, child | SS_LEFT | WS_GROUP, 0},
        {-1, "static", "File Name :", 6, 58, 40, 8, child | SS_LEFT | WS_GROUP, 0},
        {-1, "static", "Status :", 6, 85, 40, 8, child | SS_LEFT | WS_GROUP, 0},
        {-1, "static", "Output Port :", 6, 11, 42, 8, child | SS_LEFT | WS_GROUP, 0},
        {1015, "static", "", 51, 7, 207, 14, child | SS_LEFT | SS_CENTERIMAGE | WS_GROUP, WS_EX_STATICEDGE},
        {1014, "static", "", 51, 28, 207, 14, child | SS_LEFT | SS_CENTERIMAGE | WS_GROUP, WS_EX_STATICEDGE},
    });
}

TEST(Binaries, AboutBoxTemplateAndMenuText)
{
    const CResourceFile file(kDialogProgram);
    DialogTemplate about;
    ASSERT_TRUE(ReadDialog(file, IDD_ABOUTBOX, about));
    EXPECT_FALSE(about.extended);
    EXPECT_EQ(about.style, DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(Placement(about), std::vector<int>({0, 0, 217, 55}));
    EXPECT_EQ(about.caption, "About PQ4400 Version up Program");
    EXPECT_EQ(about.face, L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF");
    EXPECT_EQ(about.pointSize, 9);
    const DWORD child = WS_CHILD | WS_VISIBLE;
    ExpectItems(about.items, {
        {-1, "static", "#128", 11, 17, 20, 20, child | SS_ICON, 0},
        {-1, "static", "PQ4400 Version up Program V1.02", 41, 15, 128, 8, child | SS_LEFT | SS_NOPREFIX | WS_GROUP, 0},
        {IDOK, "button", "OK", 178, 7, 32, 14, child | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0},
    });

    char text[64] = {};
    EXPECT_EQ(::LoadStringA(file.Module(), IDS_ABOUTBOX, text, sizeof(text)), 10);
    EXPECT_STREQ(text, "&About....");
}

TEST(Binaries, IconHasTwoSixteenColourImages)
{
    const CResourceFile file(kDialogProgram);
    const std::vector<uint8_t> group = file.Bytes(RT_GROUP_ICON, IDR_MAINFRAME);
    ASSERT_GE(group.size(), 6u + 2 * 14u);
    EXPECT_EQ(group[4] | group[5] << 8, 2); // image count
    std::set<int> sizes;
    for (size_t entry = 6; entry + 14 <= group.size(); entry += 14) {
        EXPECT_EQ(group[entry], group[entry + 1]); // square
        EXPECT_EQ(group[entry + 2], 16);           // colours
        EXPECT_EQ(group[entry + 6] | group[entry + 7] << 8, 4); // bits per pixel
        sizes.insert(group[entry]);
    }
    EXPECT_EQ(sizes, std::set<int>({16, 32}));
}

TEST(Binaries, VersionBlock)
{
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(kDialogProgram.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoA(kDialogProgram.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00020000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, DWORD(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));

    DWORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(*translation, 0x04B00411u); // language 0x0411, code page 1200

    auto value = [&](const char* name) {
        char* text = nullptr;
        UINT chars = 0;
        const std::string path = std::string("\\StringFileInfo\\041104b0\\") + name;
        if (!::VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&text), &chars))
            return std::string("(missing)");
        return std::string(text);
    };
    EXPECT_EQ(value("FileVersion"), "V1.02");
    EXPECT_EQ(value("ProductVersion"), "1, 0, 2, 0");
    for (const char* empty : {"Comments", "InternalName", "LegalTrademarks", "OriginalFilename", "PrivateBuild", "SpecialBuild"})
        EXPECT_EQ(value(empty), "") << empty;
    for (const char* chosen : {"CompanyName", "FileDescription", "ProductName", "LegalCopyright"})
        EXPECT_NE(value(chosen), "(missing)") << chosen;
}
