#include "platform/qt/bundle_resources.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace platform::qt {
namespace {

namespace fs = std::filesystem;

fs::path executableDir() {
  return fs::read_symlink("/proc/self/exe").parent_path();
}

// A file that exists for the life of the test and is gone afterwards.
struct ScratchFile final {
  explicit ScratchFile(fs::path at) : path(std::move(at)) { std::ofstream(path) << "x"; }
  ~ScratchFile() { fs::remove(path); }
  fs::path path;
};

TEST(BundledResource, FoundBesideTheExecutableAndNowhereOutside) {
  const std::string name = "shell-test-" + std::to_string(getpid());
  ScratchFile beside(executableDir() / (name + ".png"));
  EXPECT_EQ(findBundledResource(name, "png"), fs::canonical(beside.path).string());
  EXPECT_FALSE(findBundledResource(name, "jpg"));
  EXPECT_FALSE(findBundledResource(name + "-missing", "png"));

  // Names that would climb out of the data directories are refused.
  ScratchFile above(executableDir().parent_path() / (name + ".png"));
  EXPECT_FALSE(findBundledResource("../" + name, "png"));
  EXPECT_FALSE(findBundledResource("..", "png"));
  EXPECT_FALSE(findBundledResource("", "png"));
  EXPECT_FALSE(findBundledResource(name, ""));
  EXPECT_FALSE(findBundledResource(name, "png/.."));

  // A directory is no resource.
  const fs::path dir = executableDir() / (name + "-dir.png");
  fs::create_directories(dir);
  EXPECT_FALSE(findBundledResource(name + "-dir", "png"));
  fs::remove(dir);
}

TEST(PermissionHelp, PointsAtTheSessionsSectionOfAReadmeThatExists) {
  const std::string url = permissionHelpURL().text;
  const std::string scheme = "file://";
  const std::string fragment = "#sessions-and-permissions";
  ASSERT_EQ(url.rfind(scheme, 0), 0u) << url;
  ASSERT_GT(url.size(), scheme.size() + fragment.size());
  EXPECT_EQ(url.substr(url.size() - fragment.size()), fragment) << url;
  // Built from a source tree with its README, so some README is there to open.
  const fs::path readme = url.substr(scheme.size(), url.size() - scheme.size() - fragment.size());
  EXPECT_EQ(readme.filename(), "README.md");
  EXPECT_TRUE(fs::is_regular_file(readme)) << readme;
}

// Without an opener, or for an address that would read as an option, it fails quietly.
TEST(OpenURL, HandsTheAddressToXdgOpenAsOneArgument) {
  const fs::path dir = fs::temp_directory_path() / ("shell-open-" + std::to_string(getpid()));
  const fs::path opened = dir / "opened";
  fs::create_directories(dir);
  const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", dir.c_str(), 1);
  EXPECT_FALSE(openURLExternally(URL{"file:///tmp/x"}));

  // The only program on the PATH: an xdg-open that writes its arguments, one a line.
  std::ofstream(dir / "xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" << opened.string()
                                  << ".tmp\"\n/bin/mv \"" << opened.string() << ".tmp\" \""
                                  << opened.string() << "\"\n";
  fs::permissions(dir / "xdg-open", fs::perms::owner_all);
  EXPECT_FALSE(openURLExternally(URL{"--help"}));
  EXPECT_FALSE(openURLExternally(URL{""}));
  const std::string url = "file:///usr/share/doc/quillmere/README.md#sessions-and-permissions";
  EXPECT_TRUE(openURLExternally(URL{url}));
  // An opener started for either refused address would most likely have written first.
  for (int i = 0; i < 500 && !fs::exists(opened); ++i) usleep(10000);
  std::string line;
  std::getline(std::ifstream(opened), line);
  EXPECT_EQ(line, url);
  setenv("PATH", savedPath.c_str(), 1);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace platform::qt
