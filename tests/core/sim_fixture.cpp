#include "tests/core/sim_fixture.h"

#include <algorithm>

namespace quillmere {

void SimTest::SetUp() {
  testing_seam::resetProcessState();
  auto backend = std::make_unique<platform::sim::SimPlatform>();
  sim = backend.get();
  sim->screens = {platform::makeRect(0, 0, 1440, 900)};
  platform::installPlatform(std::move(backend));
}

void SimTest::TearDown() {
  testing_seam::resetProcessState();
  platform::installPlatform(nullptr);
  sim = nullptr;
}

platform::WindowInfo SimTest::windowInfo(std::int64_t number, std::int64_t pid, std::int64_t layer,
                                         double alpha) {
  return {{std::string(platform::kWindowNumberKey), number},
          {std::string(platform::kWindowOwnerPidKey), pid},
          {std::string(platform::kWindowLayerKey), layer},
          {std::string(platform::kWindowAlphaKey), alpha}};
}

std::vector<std::string> SimTest::journalWithout(const std::string& prefix) const {
  std::vector<std::string> kept;
  std::copy_if(sim->journal.begin(), sim->journal.end(), std::back_inserter(kept),
               [&](const std::string& entry) { return entry.rfind(prefix, 0) != 0; });
  return kept;
}

}  // namespace quillmere
