#include "platform/gnome/pane_peer.h"

#include <algorithm>
#include <cmath>

#include "platform/render/effect_renderer.h"

namespace platform::gnome {

namespace {

double paneAlpha(double alpha) {
  return std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 0.0;
}

}  // namespace

PanePeer::PanePeer(Window& window, std::shared_ptr<PaneSet> panes, WindowNumber number)
    : window_(window), panes_(std::move(panes)), number_(number) {
  pane_ = panes_->add(this);
}

PanePeer::~PanePeer() {
  if (sentLook_ && panes_->shell() != nullptr) panes_->shell()->removePane(*pane_);
  panes_->remove(this, pane_);
}

void PanePeer::orderFront() {
  orderedFront_ = true;
  sendLook();
}

void PanePeer::resend() {
  sentLook_.reset();
  sentAlpha_.reset();
  sendLook();
}

// Nothing reaches the extension before the window is first ordered front.
void PanePeer::sendLook() {
  ShellCalls* shell = panes_->shell();
  if (!orderedFront_ || !pane_ || shell == nullptr) return;
  const PaneLook look =
      paneLookOf(render::snapshotContent(window_.contentView()),
                 stageRectOf(window_.frame(), panes_->primaryBottom()), true, window_.level());
  const double alpha = paneAlpha(window_.alphaValue());
  QVariantMap keys = changedKeys(sentLook_ ? &*sentLook_ : nullptr, look);
  if (sentAlpha_ != alpha) keys.insert(QStringLiteral("alpha"), alpha);
  if (keys.isEmpty()) return;
  sentLook_ = look;
  sentAlpha_ = alpha;
  shell->setPane(*pane_, keys);
}

// A fade step costs one small call, and only when the alpha moved.
void PanePeer::alphaDidChange() {
  if (!sentLook_) return sendLook();
  ShellCalls* shell = panes_->shell();
  const double alpha = paneAlpha(window_.alphaValue());
  if (sentAlpha_ == alpha || shell == nullptr) return;
  sentAlpha_ = alpha;
  shell->setAlpha(*pane_, alpha);
}

}  // namespace platform::gnome
