// A client's MIDIHDR as the driver sees it: prepared and unprepared by the client, queued while
// the driver holds it, done once it is handed back. winmm leaves all of this to the driver.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstddef>

// The oldest MIDIHDR ended before dwOffset: a smaller size is no header at all, as is one
// without data.
constexpr DWORD_PTR kOldestHeaderSize = offsetof(MIDIHDR, dwOffset);

inline bool IsHeader(const MIDIHDR* header, DWORD_PTR size)
{
    return header && header->lpData && size >= kOldestHeaderSize;
}

// MODM_PREPARE/MIDM_PREPARE, as Windows' drivers: a prepared header stays as it is; preparing
// another starts it afresh, whatever the client left in its flags.
inline DWORD Prepare(MIDIHDR* header, DWORD_PTR size)
{
    if (!IsHeader(header, size))
        return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & MHDR_PREPARED))
        header->dwFlags = (header->dwFlags | MHDR_PREPARED) & ~static_cast<DWORD>(MHDR_DONE | MHDR_INQUEUE);
    return MMSYSERR_NOERROR;
}

// MODM_UNPREPARE/MIDM_UNPREPARE: nothing to undo on a header that is not prepared; one handed
// over and not yet back (the driver's or one it lost track of) is still playing.
inline DWORD Unprepare(MIDIHDR* header, DWORD_PTR size)
{
    if (!IsHeader(header, size))
        return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & MHDR_PREPARED))
        return MMSYSERR_NOERROR;
    if (header->dwFlags & MHDR_INQUEUE)
        return MIDIERR_STILLPLAYING;
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
