#include "PreparedImage.h"

#include "FirmwareFile.h"
#include "FirmwareImage.h"

const char* CPreparedImage::Prepare(const PathChar* path, IProgressDisplay* progress)
{
    const char* failure = ReadFirmwareFile(path, m_fileBuffer, m_fileSize);
    if (failure)
        return failure;
    if (progress)
        progress->SetPos(1);
    failure = AssembleImage(m_fileBuffer.Data(), m_fileSize, m_workingCopy, m_image);
    if (failure)
        return failure;
    if (progress)
        progress->SetPos(2);
    m_mask = ComputeRegionMask(m_image.Data());
    if (m_mask.Test(5)) {
        failure = BuildChecksumTable(m_image.Data());
        if (failure)
            return failure;
    }
    // The working copy starts with the map that AssembleImage has just accepted.
    m_mapEntries = BlockMapEntries(m_workingCopy.Data());
    m_suppliedBlocks = 0;
    for (int entry = 0; entry < m_mapEntries; ++entry)
        m_suppliedBlocks += m_workingCopy.Data()[entry] != 0 ? 1 : 0;
    return nullptr;
}
