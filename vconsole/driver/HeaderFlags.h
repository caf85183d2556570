// A client's MIDIHDR as the driver sees it: prepared and unprepared by the client, queued while
// the driver holds it, done once it is handed back. winmm leaves all of this to the driver.
#pragma once

#include <windows.h>
#include <mmsystem.h>

// MODM_PREPARE/MIDM_PREPARE and their UNPREPARE: a header the driver still holds stays as it is.
inline DWORD SetPrepared(MIDIHDR* header, bool prepared)
{
    if (!header)
        return MMSYSERR_INVALPARAM;
    if (header->dwFlags & MHDR_INQUEUE)
        return MIDIERR_STILLPLAYING;
    if (prepared)
        header->dwFlags |= MHDR_PREPARED;
    else
        header->dwFlags &= ~static_cast<DWORD>(MHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

// Why the client may not hand this header over now; MMSYSERR_NOERROR when it may.
inline DWORD QueueRefusal(const MIDIHDR& header)
{
    if (!(header.dwFlags & MHDR_PREPARED))
        return MIDIERR_UNPREPARED;
    if (header.dwFlags & MHDR_INQUEUE)
        return MIDIERR_STILLPLAYING;
    return MMSYSERR_NOERROR;
}

inline void MarkQueued(MIDIHDR& header)
{
    header.dwFlags = (header.dwFlags | MHDR_INQUEUE) & ~static_cast<DWORD>(MHDR_DONE);
}

// Just before the header goes back to the client with MOM_DONE or MIM_LONGDATA/MIM_LONGERROR.
inline void MarkDone(MIDIHDR& header)
{
    header.dwFlags = (header.dwFlags & ~static_cast<DWORD>(MHDR_INQUEUE)) | MHDR_DONE;
}
