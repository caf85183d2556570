// The programs' version: the numbers of the dialog program's version resource and of
// versionup-cli --version. The resource compiler reads this header too.
#pragma once

#define VU_VERSION_MAJOR 1
#define VU_VERSION_MINOR 0
#define VU_VERSION_PATCH 2
#define VU_VERSION_BUILD 0
