#include "app/console_tools.h"

#include "platform/floating_point.h"
#include "runtime/runtime.h"

namespace mirvane::app {
namespace {

using platform::BSTR;
using platform::Host;

// An OLE string that lives for one call into the library.
class OleText {
 public:
  explicit OleText(std::string_view text)
      : text_(Host().SysAllocStringByteLen(text.data(), static_cast<platform::UINT>(text.size()))) {}
  ~OleText() { Host().SysFreeString(text_); }
  OleText(const OleText&) = delete;
  OleText& operator=(const OleText&) = delete;

  BSTR get() const { return text_; }

 private:
  BSTR text_;
};

std::int32_t AfterLibraryCall(std::int32_t result) {
  platform::LoadFloatingPointControlWord(runtime::kFloatingPointControlWord);
  return result;
}

}  // namespace

std::int32_t InitConsoleTools(platform::HINSTANCE instance, std::int32_t a, std::int32_t b,
                              std::int32_t c, std::int32_t* d, std::int32_t e) {
  return AfterLibraryCall(Host().InitConsoleTools(instance, a, b, c, d, e));
}

std::int32_t ConsoleToolBar(std::int32_t a, std::int32_t b) {
  return AfterLibraryCall(Host().ConsoleToolBar(a, b));
}

void ConsoleTitle(std::string_view title) {
  const OleText text(title);
  const BSTR previous = Host().ConsoleTitle(text.get());
  platform::LoadFloatingPointControlWord(runtime::kFloatingPointControlWord);
  Host().SysFreeString(previous);
}

std::int32_t ConsoleIcon(std::int32_t icon) { return AfterLibraryCall(Host().ConsoleIcon(icon)); }

std::int32_t DeleteWindowMenuItem(std::int32_t item) {
  return AfterLibraryCall(Host().DeleteWindowMenuItem(item));
}

std::int32_t Console80x(std::int32_t rows) { return AfterLibraryCall(Host().Console80x(rows)); }

std::int32_t ConsoleMove(std::int32_t x, std::int32_t y) {
  return AfterLibraryCall(Host().ConsoleMove(x, y));
}

std::int32_t ConsoleMessageBox(std::string_view text, std::int32_t a, std::string_view caption,
                               std::int32_t b, std::int32_t c) {
  const OleText message(text);
  const OleText heading(caption);
  return AfterLibraryCall(Host().ConsoleMessageBox(message.get(), a, heading.get(), b, c));
}

}  // namespace mirvane::app
