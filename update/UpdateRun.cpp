#include "UpdateRun.h"

#include <windows.h>

#include <cstdio>

#include "FirmwareFile.h"
#include "FirmwareImage.h"
#include "StatusTexts.h"

namespace {

constexpr int kSettleSteps = 5;
// With region 5 present, command U goes out only when both of these big-endian words of the
// region 1 header are at least 0x1180; without region 5 it always goes out.
constexpr uint32_t kLevelWordOffsets[2] = {0x8004, 0x8006};
constexpr uint16_t kCommandULevel = 0x1180;
// The flash is erased by group: bit 0 of the mask erases regions 0, 2, 3 and 4; bit 5 erases
// region 1 and then regions 5 to 34, whatever their own bits say.
constexpr int kLowerGroup[] = {0, 2, 3, 4};

bool CommandUDue(const RegionMask& mask, const uint8_t* image)
{
    if (!mask.Test(5))
        return true;
    for (uint32_t offset : kLevelWordOffsets) {
        if (ReadWordBE(image, offset) < kCommandULevel)
            return false;
    }
    return true;
}

// Fills `regions` with the regions to erase, in order, and returns how many (0, 4, 31 or 35).
int RegionsToErase(const RegionMask& mask, int (&regions)[kRegionCount])
{
    int count = 0;
    if (mask.Test(0)) {
        for (int region : kLowerGroup)
            regions[count++] = region;
    }
    if (mask.Test(5)) {
        regions[count++] = 1;
        for (int region = 5; region < kRegionCount; ++region)
            regions[count++] = region;
    }
    return count;
}

} // namespace

CUpdateRun::CUpdateRun(IUpdateDisplay& display, CMidiPort& port, const UpdateTiming& timing)
    : m_display(display), m_port(port), m_timing(timing), m_link(port),
      m_commands(m_link, display, timing.replyTimeoutMs)
{
}

void CUpdateRun::Execute(const char* path, uint32_t outDevice, uint32_t inDevice, int32_t& fileSize)
{
    if (!ReadImage(path, fileSize) || !OpenDevice(outDevice, inDevice))
        return;
    SendCommandUIfDue();
    if (!EraseRegions() || !WriteRegions())
        return;
    Finish();
}

bool CUpdateRun::ReadImage(const char* path, int32_t& fileSize)
{
    m_display.SetRange(0, 3);
    m_display.SetPos(0);
    m_display.ShowStatus(texts::kFileReading);
    const char* failure = ReadFirmwareFile(path, m_fileBuffer, fileSize);
    if (!failure) {
        m_display.SetPos(1);
        failure = AssembleImage(m_fileBuffer.Data(), fileSize, m_workingCopy, m_image);
    }
    if (!failure) {
        m_display.SetPos(2);
        m_mask = ComputeRegionMask(m_image.Data());
        if (m_mask.Test(5))
            failure = BuildChecksumTable(m_image.Data());
    }
    if (failure) {
        m_display.ShowStatus(failure);
        return false;
    }
    m_display.SetPos(3);
    return true;
}

bool CUpdateRun::OpenDevice(uint32_t outDevice, uint32_t inDevice)
{
    m_display.SetRange(0, kSettleSteps);
    m_display.SetPos(0);
    m_display.ShowStatus(texts::kDeviceOpen);
    if (!m_port.Open(outDevice, inDevice)) {
        m_display.ShowStatus(texts::kDeviceOpenFailed);
        return false;
    }
    // The console needs these seconds after its ports open before it takes the first command.
    for (int step = 1; step <= kSettleSteps; ++step) {
        m_display.SetPos(step);
        Sleep(m_timing.settleStepMs);
    }
    return true;
}

void CUpdateRun::SendCommandUIfDue()
{
    if (CommandUDue(m_mask, m_image.Data()))
        m_commands.SendCommandU();
}

bool CUpdateRun::EraseRegions()
{
    int regions[kRegionCount];
    const int count = RegionsToErase(m_mask, regions);
    m_display.SetRange(0, count);
    m_display.SetPos(0);
    m_display.ShowStatus(texts::kUninstalling);
    for (int i = 0; i < count; ++i) {
        m_display.SetPos(i + 1);
        if (m_commands.EraseRegion(regions[i]) != 0) {
            m_display.ShowStatus(texts::kUninstallFailed);
            return false;
        }
    }
    return true;
}

bool CUpdateRun::WriteRegions()
{
    const int total = m_mask.Count();
    int counter = 0;
    char text[64] = {};
    for (int region = 0; region < kRegionCount; ++region) {
        if (!m_mask.Test(region))
            continue;
        ++counter;
        std::snprintf(text, sizeof text, texts::kInstallingFormat, counter, total);
        m_display.ShowStatus(text);
        const uint32_t offset = RegionOffset(region);
        if (m_commands.WriteRegion(offset, m_image.Data() + offset, RegionLength(region)) != 0) {
            m_display.ShowStatus(texts::kInstallFailed);
            return false;
        }
    }
    return true;
}

void CUpdateRun::Finish()
{
    m_display.ShowStatus(m_commands.FinishUpdate() == 0 ? texts::kComplete : texts::kCompleteRestart);
}
