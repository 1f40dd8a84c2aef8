#include "platform/application.h"

#include "platform/platform.h"

namespace platform {

namespace {
std::unique_ptr<Application>& sharedApplicationSlot() {
  static std::unique_ptr<Application> application;
  return application;
}
}  // namespace

Application& Application::sharedApplication() {
  auto& slot = sharedApplicationSlot();
  if (!slot) slot = std::make_unique<Application>();
  return *slot;
}

void Application::setDelegate(std::weak_ptr<ApplicationDelegate> delegate) {
  delegate_ = std::move(delegate);
}

bool Application::setActivationPolicy(ApplicationActivationPolicy policy) {
  policy_ = policy;
  return currentPlatform().setActivationPolicy(policy);
}

void Application::run() {
  currentPlatform().runEventLoop([this] {
    if (auto delegate = delegate_.lock()) {
      delegate->applicationDidFinishLaunching(Notification{"ApplicationDidFinishLaunching"});
    }
  });
}

void Application::terminate(Object* /*sender*/) {
  currentPlatform().terminate();
}

void Application::setApplicationIconImage(std::shared_ptr<Image> image) {
  iconImage_ = std::move(image);
  if (iconImage_) currentPlatform().setApplicationIconImage(*iconImage_);
}

bool Application::sendAction(std::string_view action, const std::weak_ptr<Responder>& target,
                             Object& sender) {
  if (action.empty()) return false;
  if (auto receiver = target.lock(); receiver && receiver->respondsToAction(action)) {
    receiver->performAction(action, sender);
    return true;
  }
  if (auto delegate = delegate_.lock(); delegate && delegate->respondsToAction(action)) {
    delegate->performAction(action, sender);
    return true;
  }
  if (respondsToAction(action)) {
    performAction(action, sender);
    return true;
  }
  return false;
}

bool Application::hasReceiverForAction(std::string_view action) const {
  if (action.empty()) return false;
  auto delegate = delegate_.lock();
  return (delegate && delegate->respondsToAction(action)) || respondsToAction(action);
}

bool Application::respondsToAction(std::string_view action) const {
  return action == kTerminateAction;
}

void Application::performAction(std::string_view action, Object& sender) {
  if (action == kTerminateAction) terminate(&sender);
}

Bundle& Bundle::mainBundle() {
  static Bundle bundle;
  return bundle;
}

std::optional<std::string> Bundle::pathForResource(std::string_view name,
                                                   std::string_view type) const {
  return currentPlatform().pathForResource(name, type);
}

void writeStandardOutputLine(std::string_view line) {
  currentPlatform().writeStandardOutputLine(line);
}

std::shared_ptr<Image> Image::imageWithContentsOfFile(const std::string& path) {
  if (!currentPlatform().canReadImageFile(path)) return nullptr;
  return fromFile(path);
}

std::shared_ptr<Image> Image::imageWithSystemSymbolName(const std::string& name,
                                                        const std::string& description) {
  if (!currentPlatform().hasSystemSymbol(name)) return nullptr;
  return fromSymbol(name, description);
}

std::shared_ptr<Image> Image::fromFile(std::string path) {
  auto image = std::make_shared<Image>();
  image->filePath_ = std::move(path);
  return image;
}

std::shared_ptr<Image> Image::fromSymbol(std::string name, std::string description) {
  auto image = std::make_shared<Image>();
  image->symbolName_ = std::move(name);
  image->accessibilityDescription_ = std::move(description);
  return image;
}

std::shared_ptr<Image> Image::imageWithSymbolConfiguration(ImageSymbolConfiguration config) const {
  auto image = std::make_shared<Image>(*this);
  image->symbolConfiguration_ = config;
  return image;
}

void resetSharedApplicationForNewPlatform() {
  sharedApplicationSlot().reset();
}

}  // namespace platform
