#include "platform/filter.h"

namespace platform {

namespace {
constexpr double kDefaultPixellateScale = 8.0;
constexpr FilterVector kDefaultPixellateCenter{150.0, 150.0};
}  // namespace

std::shared_ptr<Filter> Filter::filterWithName(std::string_view name) {
  if (name != kPixellateFilterName) return nullptr;
  return std::make_shared<Filter>(std::string(name));
}

void Filter::setDefaults() {
  values_.clear();
  if (name_ == kPixellateFilterName) {
    values_.emplace(kInputScaleKey, kDefaultPixellateScale);
    values_.emplace(kInputCenterKey, kDefaultPixellateCenter);
  }
}

void Filter::setValue(FilterValue value, std::string_view key) {
  values_.insert_or_assign(std::string(key), value);
}

std::optional<FilterValue> Filter::value(std::string_view key) const {
  auto found = values_.find(key);
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

}  // namespace platform
