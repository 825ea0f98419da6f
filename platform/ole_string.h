// OLE strings as SysAllocStringByteLen makes them: the bytes, preceded by their 32-bit byte length
// and followed by NULs. The hosts that stand in for the platform's allocator share these.
#pragma once

#include <string_view>

#include "platform/console_host.h"

namespace mirvane::platform {

// A new string of length bytes copied from bytes (zeros when bytes is null); null when memory
// runs out. Given back with FreeOleString.
BSTR NewOleString(const char* bytes, UINT length);
void FreeOleString(BSTR text);

// The bytes of a string, as many as its length prefix says; empty for null.
std::string_view OleStringBytes(BSTR text);

}  // namespace mirvane::platform
