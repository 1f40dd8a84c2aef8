#include "platform/wayland/capture_scheduler.h"

#include <algorithm>

#include "platform/wayland/output_capture.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_output.h"

namespace platform::wayland {

namespace {
// sway lays a window out in a transaction after it announces it; a capture this long after
// the event sees the result.
constexpr int kSettleMs = 50;
// At most four captures a second: each hides the overlay for a frame.
constexpr int kMinimumIntervalMs = 250;
// A new window is drawn at its size a while after sway announces it; one more capture then.
constexpr int kFollowUpMs = 300;
}  // namespace

CaptureScheduler::CaptureScheduler(WaylandConnection& connection, QObject* parent)
    : QObject(parent), capture_(std::make_unique<OutputCapture>(connection)) {
  connect(&connection, &WaylandConnection::outputRemoved, this,
          [this](const WaylandOutput* gone) { std::erase(inFlight_, gone); });
  connect(&connection, &WaylandConnection::ownSurfacesChanged, this,
          &CaptureScheduler::ownSurfacesChanged);
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &CaptureScheduler::captureNow);
  connect(capture_.get(), &OutputCapture::captured, this, &CaptureScheduler::arrived);
  connect(capture_.get(), &OutputCapture::failed, this, &CaptureScheduler::failedOn);
}

CaptureScheduler::~CaptureScheduler() = default;

bool CaptureScheduler::isAvailable() const {
  return capture_->isAvailable();
}

std::uint64_t CaptureScheduler::capturesRequested() const {
  return capture_->requestsSent();
}

void CaptureScheduler::add(CaptureClient* client) {
  clients_.push_back(client);
}

void CaptureScheduler::remove(CaptureClient* client) {
  std::erase(clients_, client);
}

void CaptureScheduler::request(CaptureClient* /*client*/) {
  schedule(0);
}

bool CaptureScheduler::anyWantsBeneath() const {
  return std::any_of(clients_.begin(), clients_.end(),
                     [](const CaptureClient* client) { return client->wantsBeneath(); });
}

void CaptureScheduler::exposureChanged() {
  if (!anyWantsBeneath()) return;
  followUp_ = true;
  schedule(kSettleMs);
}

// Our own surfaces are drawn at once, in requests sent before the capture's: no follow-up. The
// settling time joins the menu's surfaces, which appear a few events apart, into one capture.
void CaptureScheduler::ownSurfacesChanged() {
  if (anyWantsBeneath()) schedule(kSettleMs);
}

// The next capture comes after the settling time and no sooner than the minimum interval
// after the last one; requests meanwhile join it.
void CaptureScheduler::schedule(int settleMs) {
  pending_ = true;
  if (timer_.isActive()) return;
  int delay = settleMs;
  if (sinceLast_.isValid()) {
    delay = std::max<qint64>(delay, kMinimumIntervalMs - sinceLast_.elapsed());
  }
  timer_.start(std::max(0, delay));
}

void CaptureScheduler::captureNow() {
  if (!pending_) return;
  pending_ = false;
  std::vector<const WaylandOutput*> outputs;
  for (CaptureClient* client : clients_) {
    const WaylandOutput* output = client->captureOutput();
    if (output == nullptr || !client->wantsBeneath()) continue;
    if (std::find(outputs.begin(), outputs.end(), output) == outputs.end()) {
      outputs.push_back(output);
    }
  }
  if (outputs.empty()) return;
  sinceLast_.start();
  for (const WaylandOutput* output : outputs) {
    // One still in flight: this change is captured after it, and nothing is hidden meanwhile.
    if (std::find(inFlight_.begin(), inFlight_.end(), output) != inFlight_.end()) {
      schedule(kMinimumIntervalMs);
      continue;
    }
    // Hidden in the same batch of requests as the capture, so the copied frame lacks them: the
    // compositor copies only once the buffer for it has been sent, a round trip later.
    if (!capture_->capture(*output)) continue;
    inFlight_.push_back(output);
    auto clients = clients_;
    for (CaptureClient* client : clients) {
      if (client->captureOutput() == output && client->wantsBeneath()) client->hideForCapture();
    }
  }
  if (followUp_ && !pending_) {
    followUp_ = false;
    pending_ = true;
    timer_.start(kFollowUpMs);
  }
}

void CaptureScheduler::arrived(const WaylandOutput* output, const QImage& image) {
  std::erase(inFlight_, output);
  auto clients = clients_;  // a client may leave while it renders
  for (CaptureClient* client : clients) {
    if (std::find(clients_.begin(), clients_.end(), client) == clients_.end()) continue;
    if (client->captureOutput() == output) client->captured(image);
  }
}

void CaptureScheduler::failedOn(const WaylandOutput* output) {
  std::erase(inFlight_, output);
  auto clients = clients_;
  for (CaptureClient* client : clients) {
    if (std::find(clients_.begin(), clients_.end(), client) == clients_.end()) continue;
    if (client->captureOutput() == output) client->captureFailed();
  }
}

}  // namespace platform::wayland
