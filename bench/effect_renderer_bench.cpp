// Milliseconds per overlay frame for each effect, on one thread, with the memcpy of the same
// frame as the floor, and for a 256x256 change beneath re-rendered alone. Each effect writes the
// final opaque pixels at a window alpha below 1, so that the blend with what lies beneath is
// included.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/render/effect_layout.h"
#include "platform/render/effect_renderer.h"

namespace {

using namespace platform;
using namespace platform::render;

constexpr double kWindowAlpha = 0.9;
constexpr double kIntensity = 0.7;

struct Frame {
  int width;
  int height;
  std::vector<std::uint8_t> beneath;
  std::vector<std::uint8_t> out;

  Frame(int w, int h) : width(w), height(h), beneath(std::size_t(w) * h * 4), out(beneath.size()) {
    // Something like a desktop: gradients, hard-edged windows and some noise.
    std::uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        seed = seed * 1664525u + 1013904223u;
        std::uint8_t* p = &beneath[(std::size_t(y) * w + x) * 4];
        const bool window = (x / 300 + y / 200) % 3 == 0;
        p[0] = std::uint8_t(window ? 240 : x * 255 / w);
        p[1] = std::uint8_t(window ? 235 : y * 255 / h);
        p[2] = std::uint8_t((seed >> 24) & 0x3f) + 100;
        p[3] = 255;
      }
    }
    std::memset(out.data(), 0, out.size());  // touched before timing starts
  }

  ConstPixelBuffer in() const { return {beneath.data(), width, height, std::ptrdiff_t(width) * 4}; }
  PixelBuffer target() { return {out.data(), width, height, std::ptrdiff_t(width) * 4}; }
};

Frame& frame(int width, int height) {
  static std::map<std::pair<int, int>, Frame> frames;
  auto found = frames.find({width, height});
  if (found == frames.end()) found = frames.try_emplace({width, height}, width, height).first;
  return found->second;
}

ContentSnapshot dimContent(Size size) {
  ContentSnapshot content;
  content.size = size;
  content.layerBackgroundColor = Color::blackColor().withAlphaComponent(kIntensity * 0.9);
  return content;
}

ContentSnapshot blurContent(Size size) {
  ContentSnapshot content;
  content.size = size;
  EffectViewSnapshot view;
  view.frame = Rect{{0.0, 0.0}, size};
  view.material = VisualEffectMaterial::hudWindow;
  view.alpha = kIntensity;
  content.effectView = view;
  return content;
}

ContentSnapshot pixelateContent(Size size) {
  ContentSnapshot content;
  content.size = size;
  EffectViewSnapshot view;
  view.frame = insetRect(Rect{{0.0, 0.0}, size}, -100.0, -100.0);
  view.material = VisualEffectMaterial::underWindowBackground;
  view.pixellate =
      PixellateSnapshot{kIntensity * 60.0, {size.width / 2.0 + 100.0, size.height / 2.0 + 100.0}};
  content.effectView = view;
  return content;
}

void memcpyFrame(benchmark::State& state, int width, int height) {
  Frame& f = frame(width, height);
  for (auto _ : state) {
    std::memcpy(f.out.data(), f.beneath.data(), f.beneath.size());
    benchmark::ClobberMemory();
  }
}

void effectFrame(benchmark::State& state, int width, int height, double ratio,
                 ContentSnapshot (*make)(Size)) {
  Frame& f = frame(width, height);
  const ContentSnapshot content = make(Size{width / ratio, height / ratio});
  // One renderer per benchmark for the whole run: its buffers exist after the first frame.
  static std::map<std::tuple<int, int, double, void*>, EffectRenderer> renderers;
  EffectRenderer& renderer = renderers[{width, height, ratio, reinterpret_cast<void*>(make)}];
  renderer.renderFinal(content, f.in(), ratio, kWindowAlpha, f.target());  // buffers exist
  for (auto _ : state) {
    renderer.renderFinal(content, f.in(), ratio, kWindowAlpha, f.target());
    benchmark::ClobberMemory();
  }
}

// A 256x256 change in the middle of the screen, re-rendered alone over the last frame.
void changeFrame(benchmark::State& state, int width, int height, double ratio,
                 ContentSnapshot (*make)(Size)) {
  Frame& f = frame(width, height);
  const ContentSnapshot content = make(Size{width / ratio, height / ratio});
  const EffectLayout layout = layoutEffect(content, width, height, ratio, kWindowAlpha);
  const ConstPixelBuffer beneath = f.in();
  const PixelRect change{width / 2 - 128, height / 2 - 128, width / 2 + 128, height / 2 + 128};
  std::vector<PixelRect> rewritten;
  EffectRenderer renderer;
  renderer.renderLayout(layout, &beneath, true, f.target());
  for (auto _ : state) {
    renderer.renderChanges(layout, &beneath, true, {&change, 1}, f.target(), rewritten);
    benchmark::ClobberMemory();
  }
}

// Keeps the median of every benchmark and prints them with their ratio to the memcpy floor.
class SummaryReporter final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.aggregate_name != "median") continue;
      const std::string name = run.run_name.function_name;
      medians_[name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
      order_.push_back(name);
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    // Repetitions ran interleaved; the summary goes by size, the floor first.
    std::sort(order_.begin(), order_.end(), [](const std::string& a, const std::string& b) {
      auto key = [](const std::string& name) {
        return std::make_tuple(name.substr(name.find('/') + 1), name.rfind("memcpy/", 0) != 0,
                               name);
      };
      return key(a) < key(b);
    });
    std::printf(
        "\nmedian ms per frame (wall, cpu) and ratio to the memcpy of the same frame;\n"
        "pixel ratio 1, or 2 where marked @2x; window alpha %.1f\n",
        kWindowAlpha);
    for (const std::string& name : order_) {
      const auto [wall, cpu] = medians_[name];
      const std::string size = name.substr(name.find('/') + 1);
      const auto floor = medians_.find("memcpy/" + size.substr(0, size.find('@')));
      std::printf("  %-26s %8.3f %8.3f", name.c_str(), wall, cpu);
      if (floor != medians_.end() && name.rfind("memcpy/", 0) != 0) {
        std::printf("   x%.2f  x%.2f", wall / floor->second.first, cpu / floor->second.second);
      }
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, std::pair<double, double>> medians_;
  std::vector<std::string> order_;
};

template <typename Body>
void registerFrame(const std::string& name, Body body) {
  benchmark::RegisterBenchmark(name.c_str(), body)
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(15)
      ->ReportAggregatesOnly(true)
      ->MinTime(0.05);
}

void registerAll() {
  struct SizeCase {
    int width;
    int height;
  };
  for (SizeCase size : {SizeCase{1920, 1080}, SizeCase{3840, 2160}}) {
    const std::string suffix = std::to_string(size.width) + "x" + std::to_string(size.height);
    const int w = size.width;
    const int h = size.height;
    registerFrame("memcpy/" + suffix, [w, h](benchmark::State& s) { memcpyFrame(s, w, h); });
    registerFrame("dim/" + suffix,
                  [w, h](benchmark::State& s) { effectFrame(s, w, h, 1.0, dimContent); });
    registerFrame("blur/" + suffix,
                  [w, h](benchmark::State& s) { effectFrame(s, w, h, 1.0, blurContent); });
    registerFrame("pixelate/" + suffix,
                  [w, h](benchmark::State& s) { effectFrame(s, w, h, 1.0, pixelateContent); });
    registerFrame("blur-256x256/" + suffix,
                  [w, h](benchmark::State& s) { changeFrame(s, w, h, 1.0, blurContent); });
    registerFrame("pixelate-256x256/" + suffix,
                  [w, h](benchmark::State& s) { changeFrame(s, w, h, 1.0, pixelateContent); });
  }
  // A 4K screen usually runs at twice the pixel density, where the blur is twice as wide.
  registerFrame("blur/3840x2160@2x",
                [](benchmark::State& s) { effectFrame(s, 3840, 2160, 2.0, blurContent); });
  registerFrame("pixelate/3840x2160@2x",
                [](benchmark::State& s) { effectFrame(s, 3840, 2160, 2.0, pixelateContent); });
  registerFrame("blur-256x256/3840x2160@2x",
                [](benchmark::State& s) { changeFrame(s, 3840, 2160, 2.0, blurContent); });
  registerFrame("pixelate-256x256/3840x2160@2x",
                [](benchmark::State& s) { changeFrame(s, 3840, 2160, 2.0, pixelateContent); });
}

}  // namespace

int main(int argc, char** argv) {
  // Repetitions of different benchmarks interleave, so that a busy moment on the machine does
  // not fall on one of them alone.
  std::vector<char*> args(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave.data());
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  registerAll();
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
