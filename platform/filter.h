#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace platform {

inline constexpr std::string_view kPixellateFilterName = "CIPixellate";
inline constexpr std::string_view kInputScaleKey = "inputScale";
inline constexpr std::string_view kInputCenterKey = "inputCenter";

struct FilterVector {
  double x = 0.0;
  double y = 0.0;
  friend bool operator==(const FilterVector&, const FilterVector&) = default;
};

using FilterValue = std::variant<double, FilterVector>;

// An image filter applied to a layer's rendering, known by name, with keyed input values.
class Filter final {
 public:
  // The filter of that name, or null when no such filter exists.
  static std::shared_ptr<Filter> filterWithName(std::string_view name);

  const std::string& name() const { return name_; }
  // Resets every input to the filter's default value.
  void setDefaults();
  void setValue(FilterValue value, std::string_view key);
  // The input's value, or empty when the input was never set.
  std::optional<FilterValue> value(std::string_view key) const;

  explicit Filter(std::string name) : name_(std::move(name)) {}

 private:
  std::string name_;
  std::map<std::string, FilterValue, std::less<>> values_;
};

}  // namespace platform
