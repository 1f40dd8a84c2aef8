#include "platform/qt/tray_menu.h"

#include <QAction>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QWidget>
#include <QWidgetAction>
#include <cmath>

#include "platform/qt/menu_item_text.h"

namespace platform::qt {

namespace {
int toPixels(double points) {
  return static_cast<int>(std::lround(points));
}

// A view's frame in its container's Qt coordinates, which count y downwards.
QRect qtFrame(const Rect& frame, double containerHeight) {
  return QRect(toPixels(frame.origin.x),
               toPixels(containerHeight - frame.origin.y - frame.size.height),
               toPixels(frame.size.width), toPixels(frame.size.height));
}
}  // namespace

TrayMenu::TrayMenu() : menu_(std::make_unique<QMenu>()), alive_(std::make_shared<TrayMenu*>(this)) {
  menu_->installEventFilter(this);
  // Enabled state can depend on who answers an action, so look again each time.
  connect(menu_.get(), &QMenu::aboutToShow, this, [this] { syncStates(); });
}

// The model's observer may stay behind; it finds alive_ gone and does nothing.
TrayMenu::~TrayMenu() = default;

void TrayMenu::setModel(Menu* model) {
  // The earlier model may be gone already, so it is not touched.
  model_ = model;
  if (model_ != nullptr) {
    std::weak_ptr<TrayMenu*> alive = alive_;
    model_->setChangeObserver([alive, model] {
      auto self = alive.lock();
      if (!self || (*self)->model_ != model) return;
      if ((*self)->structureMatchesModel()) {
        (*self)->syncStates();
      } else {
        (*self)->rebuild();
      }
    });
  }
  rebuild();
}

void TrayMenu::popupAt(QPoint globalPosition) {
  if (model_ == nullptr || rows_.empty()) return;
  menu_->popup(globalPosition);
}

bool TrayMenu::structureMatchesModel() const {
  if (model_ == nullptr) return rows_.empty();
  const auto& items = model_->itemArray();
  if (items.size() != rows_.size()) return false;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] != rows_[i].item) return false;
  }
  return true;
}

void TrayMenu::rebuild() {
  menu_->clear();
  rows_.clear();
  if (model_ == nullptr) return;
  for (const auto& item : model_->itemArray()) {
    QAction* action = nullptr;
    if (item->isSeparatorItem()) {
      action = menu_->addSeparator();
    } else if (item->view()) {
      action = addViewRow(item);
    } else {
      action = menu_->addAction(QString());
      connect(action, &QAction::triggered, this, [this, item] { choose(item); });
    }
    rows_.push_back(Row{item, action});
  }
  syncStates();
}

QAction* TrayMenu::addViewRow(const std::shared_ptr<MenuItem>& item) {
  const Rect frame = item->view()->frame();
  auto* container = new QWidget();
  container->setFixedSize(toPixels(frame.size.width), toPixels(frame.size.height));

  if (auto slider = firstSlider(item->view())) {
    auto* control = new QSlider(Qt::Horizontal, container);
    control->setGeometry(qtFrame(slider->frame(), frame.size.height));
    control->setRange(sliderPosition(slider->minValue()), sliderPosition(slider->maxValue()));
    control->setValue(sliderPosition(slider->doubleValue()));
    // Tracking is on, so the action follows the knob while it is dragged.
    control->setTracking(true);
    connect(control, &QSlider::valueChanged, this, [slider](int position) {
      slider->setDoubleValue(sliderValue(position));
      slider->sendAction();
    });
  }

  auto* action = new QWidgetAction(menu_.get());
  action->setDefaultWidget(container);
  menu_->addAction(action);
  return action;
}

void TrayMenu::syncStates() {
  for (const Row& row : rows_) syncRow(row);
}

void TrayMenu::syncRow(const Row& row) {
  const MenuItem& item = *row.item;
  if (item.isSeparatorItem() || item.view()) return;
  QString text = menuTitleText(item.title());
  const QString shortcut = keyEquivalentText(item.keyEquivalent());
  // Text after a tab goes into the shortcut column without becoming a live shortcut.
  if (!shortcut.isEmpty()) text += QLatin1Char('\t') + shortcut;
  if (row.action->text() != text) row.action->setText(text);

  const bool checked = item.state() == ControlStateValue::on;
  // Only a checked item is checkable, so that unchecked ones show no empty box.
  row.action->setCheckable(checked);
  row.action->setChecked(checked);
  row.action->setEnabled(model_ != nullptr && model_->showsItemEnabled(item));
}

void TrayMenu::choose(const std::shared_ptr<MenuItem>& item) {
  std::weak_ptr<TrayMenu*> alive = alive_;
  item->performAction();
  // Qt flips a checkable action by itself; the model decides what stays checked.
  if (alive.lock()) syncStates();
}

std::shared_ptr<MenuItem> TrayMenu::itemForKeyEquivalent(int key,
                                                         Qt::KeyboardModifiers modifiers) const {
  for (const Row& row : rows_) {
    if (matchesKeyEquivalent(row.item->keyEquivalent(), key, modifiers)) return row.item;
  }
  return nullptr;
}

bool TrayMenu::isChoosable(const MenuItem& item) const {
  return model_ != nullptr && model_->showsItemEnabled(item);
}

bool TrayMenu::eventFilter(QObject* watched, QEvent* event) {
  if (watched != menu_.get() || event->type() != QEvent::KeyPress) return false;
  const auto* keyEvent = static_cast<QKeyEvent*>(event);
  auto item = itemForKeyEquivalent(keyEvent->key(), keyEvent->modifiers());
  if (!item) return false;
  if (!isChoosable(*item)) return true;
  menu_->hide();
  choose(item);
  return true;
}

}  // namespace platform::qt
