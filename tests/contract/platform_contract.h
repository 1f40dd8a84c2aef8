#pragma once

// What every backend must do the same way, so that the simulated backend cannot drift from a
// real one. To run the suite on a backend, link the `platform_contract` object library into a
// test executable and instantiate it there:
//
//   INSTANTIATE_TEST_SUITE_P(X11, PlatformContractTest,
//                            ::testing::Values(ContractBackend{"x11", makeBackend, runFor,
//                                                              openOtherApplication}),
//                            [](const auto& info) { return info.param.name; });

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "platform/platform.h"

namespace platform::contract {

// A window of another application, open while this lives.
struct OtherApplication {
  ProcessId pid = 0;
  std::shared_ptr<void> window;
};

struct ContractBackend {
  std::string name;
  // A fresh backend with at least one screen.
  std::function<std::unique_ptr<Platform>()> make;
  // Lets the given time pass on the backend's clock, handling its events and timers.
  std::function<void(Platform&, double seconds)> runFor;
  // Opens a window of another application, which the desktop then activates as a new window.
  std::function<OtherApplication(Platform&)> openOtherApplication;
};

// Test output names the backend, not the bytes of its functions.
inline void PrintTo(const ContractBackend& backend, std::ostream* out) {
  *out << backend.name;
}

class PlatformContractTest : public ::testing::TestWithParam<ContractBackend> {
 protected:
  void SetUp() override;
  void TearDown() override;
  void runFor(double seconds) { GetParam().runFor(currentPlatform(), seconds); }
};

}  // namespace platform::contract
