#include "platform/ole_string.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace mirvane::platform {
namespace {
constexpr std::size_t kPrefix = sizeof(std::uint32_t);
constexpr std::size_t kTerminator = 2;  // a wide NUL, as the platform's allocator adds
}  // namespace

BSTR NewOleString(const char* bytes, UINT length) {
  auto* block = static_cast<char*>(std::malloc(kPrefix + length + kTerminator));
  if (block == nullptr) return nullptr;
  const std::uint32_t size = length;
  std::memcpy(block, &size, kPrefix);
  char* text = block + kPrefix;
  if (bytes != nullptr) {
    std::memcpy(text, bytes, length);
  } else {
    std::memset(text, 0, length);
  }
  std::memset(text + length, 0, kTerminator);
  return text;
}

void FreeOleString(BSTR text) {
  if (text != nullptr) std::free(text - kPrefix);
}

std::string_view OleStringBytes(BSTR text) {
  if (text == nullptr) return {};
  std::uint32_t length = 0;
  std::memcpy(&length, text - kPrefix, kPrefix);
  return {text, length};
}

}  // namespace mirvane::platform
