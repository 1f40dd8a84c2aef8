#pragma once

#include <QVariantMap>
#include <cstdint>
#include <vector>

#include "platform/gnome/menu_rows.h"

namespace platform::gnome {

// The calls Quillmere makes on the extension's org.quillmere.Shell1, none awaiting a reply.
class ShellCalls {
 public:
  virtual ~ShellCalls() = default;
  virtual void setPane(std::uint32_t pane, const QVariantMap& look) = 0;
  virtual void setAlpha(std::uint32_t pane, double alpha) = 0;
  virtual void removePane(std::uint32_t pane) = 0;
  virtual void setMenu(const std::vector<MenuRow>& rows) = 0;
  virtual void removeMenu() = 0;
};

}  // namespace platform::gnome
