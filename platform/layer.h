#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/color.h"
#include "platform/filter.h"

namespace platform {

class View;

// The backing layer of a view: what it fills itself with and the filters on its rendering.
class Layer final {
 public:
  explicit Layer(View& owner) : owner_(owner) {}
  Layer(const Layer&) = delete;
  Layer& operator=(const Layer&) = delete;

  const std::optional<Color>& backgroundColor() const { return backgroundColor_; }
  // An empty colour clears the fill.
  void setBackgroundColor(std::optional<Color> color);

  // Filters applied to what lies behind the layer.
  const std::vector<std::shared_ptr<Filter>>& backgroundFilters() const {
    return backgroundFilters_;
  }
  void setBackgroundFilters(std::vector<std::shared_ptr<Filter>> filters);

  // Filters applied to the layer's own rendering.
  const std::vector<std::shared_ptr<Filter>>& filters() const { return filters_; }
  void setFilters(std::vector<std::shared_ptr<Filter>> filters);

 private:
  View& owner_;
  std::optional<Color> backgroundColor_;
  std::vector<std::shared_ptr<Filter>> backgroundFilters_;
  std::vector<std::shared_ptr<Filter>> filters_;
};

}  // namespace platform
