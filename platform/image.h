#pragma once

#include <memory>
#include <optional>
#include <string>

namespace platform {

enum class FontWeight { regular, medium, bold };

// The size and weight at which a symbol image is drawn.
struct ImageSymbolConfiguration {
  double pointSize = 0.0;
  FontWeight weight = FontWeight::regular;

  static ImageSymbolConfiguration configurationWithPointSize(double pointSize, FontWeight weight) {
    return {pointSize, weight};
  }
};

// An image: a file that the platform could read, or one of the platform's symbols.
class Image final {
 public:
  // The image in that file, or null when it cannot be read as an image.
  static std::shared_ptr<Image> imageWithContentsOfFile(const std::string& path);
  // The platform's symbol of that name, or null when the platform has no such symbol.
  static std::shared_ptr<Image> imageWithSystemSymbolName(const std::string& name,
                                                          const std::string& description);

  static std::shared_ptr<Image> fromFile(std::string path);
  static std::shared_ptr<Image> fromSymbol(std::string name, std::string description);

  // The same image drawn with the given configuration.
  std::shared_ptr<Image> imageWithSymbolConfiguration(ImageSymbolConfiguration config) const;

  const std::string& filePath() const { return filePath_; }
  const std::string& symbolName() const { return symbolName_; }
  const std::string& accessibilityDescription() const { return accessibilityDescription_; }
  const std::optional<ImageSymbolConfiguration>& symbolConfiguration() const {
    return symbolConfiguration_;
  }

 private:
  std::string filePath_;
  std::string symbolName_;
  std::string accessibilityDescription_;
  std::optional<ImageSymbolConfiguration> symbolConfiguration_;
};

}  // namespace platform
