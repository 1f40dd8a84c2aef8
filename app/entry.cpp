#include "app/entry.h"

namespace quillmere {

std::shared_ptr<QuillmereApp> delegate;
platform::Application* app = nullptr;

int runQuillmere() {
  delegate = std::make_shared<QuillmereApp>();
  app = &platform::Application::sharedApplication();
  app->setDelegate(delegate);
  app->setActivationPolicy(platform::ApplicationActivationPolicy::accessory);
  app->run();
  return 0;
}

namespace testing_seam {
void resetProcessState() {
  delegate.reset();
  app = nullptr;
}
}  // namespace testing_seam

}  // namespace quillmere
