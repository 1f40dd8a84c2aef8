#include "private_environment.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

namespace quillmere::test {

PrivateEnvironment::PrivateEnvironment() {
  const char* path = std::getenv("PATH");
  variables_ = {{"PATH", path != nullptr && *path != '\0' ? path : "/usr/local/bin:/usr/bin:/bin"},
                {"LANG", "C.UTF-8"}};
  std::string pattern = (std::filesystem::temp_directory_path() / "quillmere-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return;
  root_ = pattern;
  // The runtime directory must be private to its owner; the others may as well be.
  for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                           "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
    const std::string directory = root_ + "/" + name;
    mkdir(directory.c_str(), 0700);
    variables_.emplace_back(name, directory);
  }
  variables_.emplace_back("DBUS_SESSION_BUS_ADDRESS",
                          "unix:path=" + root_ + "/XDG_RUNTIME_DIR/no-bus");
}

PrivateEnvironment::~PrivateEnvironment() {
  std::error_code ignored;
  if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
}

void PrivateEnvironment::set(const std::string& name, const std::string& value) {
  for (auto& [existing, current] : variables_) {
    if (existing == name) {
      current = value;
      return;
    }
  }
  variables_.emplace_back(name, value);
}

std::vector<std::string> PrivateEnvironment::entries() const {
  std::vector<std::string> lines;
  for (const auto& [name, value] : variables_) lines.push_back(name + "=" + value);
  return lines;
}

void PrivateEnvironment::applyToThisProcess() const {
  clearenv();
  for (const auto& [name, value] : variables_) setenv(name.c_str(), value.c_str(), 1);
}

}  // namespace quillmere::test
