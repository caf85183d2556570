// Forced into every source of the Windows build that CI runs (VU_SDK_MINMAX): min and max as the
// Windows SDK's <windows.h> defines them for C++ (MinGW-w64's headers do so only for C). A call
// such as std::min(a, b) or std::numeric_limits<T>::max() then fails here as it fails with
// Visual Studio wherever NOMINMAX is not set. The standard library is read first: libstdc++,
// unlike Visual Studio's, is not written to live beside these macros.
#pragma once
#include <bits/stdc++.h>

#define max(a,b) (((a) > (b)) ? (a) : (b))
#define min(a,b) (((a) < (b)) ? (a) : (b))
