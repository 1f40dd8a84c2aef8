#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace platform::qt {

// Turns SIGINT and SIGTERM into a call on the main thread: the handler only writes a byte to
// a pipe that the event loop watches.
class TerminationSignals final : public QObject {
  Q_OBJECT

 public:
  explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
  ~TerminationSignals() override;
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  std::function<void()> onSignal_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace platform::qt
