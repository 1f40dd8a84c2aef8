#pragma once

#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <memory>
#include <utility>
#include <vector>

#include "platform/menu.h"

class QAction;
class QSlider;

namespace platform::qt {

// Quillmere's own pop-up menu, built from the status item's menu and kept in step with it:
// titles, check marks, enabled state, the key-equivalent column and a custom-view row that
// carries a real slider. Key equivalents are not Qt shortcuts; they work only while the menu
// is open, as the local key monitors see keys first.
class TrayMenu final : public QObject {
  Q_OBJECT

 public:
  TrayMenu();
  ~TrayMenu() override;
  TrayMenu(const TrayMenu&) = delete;
  TrayMenu& operator=(const TrayMenu&) = delete;

  // Follows this menu from now on; null shows nothing.
  void setModel(Menu* model);
  // Opens the menu with its top-left corner at the global position.
  void popupAt(QPoint globalPosition);
  QMenu& menu() { return *menu_; }
  // Whether there is anything to show.
  bool isEmpty() const { return model_ == nullptr || rows_.empty(); }
  // Brings titles, check marks and enabled state up to date, as opening the menu does.
  void prepareToShow() { syncStates(); }
  // The item whose key equivalent the key press is, or null.
  std::shared_ptr<MenuItem> itemForKeyEquivalent(int key, Qt::KeyboardModifiers modifiers) const;
  bool isChoosable(const MenuItem& item) const;
  // Performs the item's action, as choosing it does.
  void choose(const std::shared_ptr<MenuItem>& item);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Row {
    std::shared_ptr<MenuItem> item;
    QAction* action = nullptr;
  };

  void rebuild();
  void syncStates();
  void syncRow(const Row& row);
  QAction* addViewRow(const std::shared_ptr<MenuItem>& item);
  bool structureMatchesModel() const;

  std::unique_ptr<QMenu> menu_;
  Menu* model_ = nullptr;
  std::vector<Row> rows_;
  // Lets a model's change observer, which may outlive us, know that we are gone.
  std::shared_ptr<TrayMenu*> alive_;
};

}  // namespace platform::qt
