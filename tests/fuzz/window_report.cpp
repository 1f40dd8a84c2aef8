// The window reports of KWin's script or GNOME Shell's extension, one after another (split
// at each 0x1e), as the client takes them from the bus: a string, of bounded length, in UTF-8.
#include <QString>

#include "overlay/window_record.h"
#include "platform/qt/window_report_cache.h"
#include "tests/fuzz/fuzz_input.h"

using namespace platform::qt;

FUZZ_ENTRY {
  WindowReportCache cache(42);
  for (const std::string& part : fuzz::split(data, size, '\x1e')) {
    const QString text = QString::fromUtf8(part.data(), qsizetype(part.size()));
    if (std::size_t(text.size()) > kMaxWindowReportBytes) continue;
    const QByteArray bytes = text.toUtf8();
    cache.handle(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (auto list = cache.windowList()) {
      for (const platform::WindowInfo& info : *list) quillmere::readWindowRecord(info);
    }
  }
  return 0;
}
