#include "platform/sim/sim_platform.h"
#include "tests/contract/platform_contract.h"

namespace platform::contract {
namespace {

std::unique_ptr<Platform> makeSim() {
  auto sim = std::make_unique<sim::SimPlatform>();
  sim->screens = {makeRect(0, 0, 1280, 800), makeRect(1280, 0, 1024, 768)};
  return sim;
}

void runSim(Platform& backend, double seconds) {
  static_cast<sim::SimPlatform&>(backend).advance(seconds);
}

OtherApplication openInSim(Platform& backend) {
  constexpr ProcessId kOther = 5001;
  static_cast<sim::SimPlatform&>(backend).activateApplication(kOther);
  return {kOther, nullptr};
}

INSTANTIATE_TEST_SUITE_P(Sim, PlatformContractTest,
                         ::testing::Values(ContractBackend{"sim", makeSim, runSim, openInSim}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace platform::contract
