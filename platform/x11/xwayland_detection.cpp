#include "platform/x11/xwayland_detection.h"

#include <xcb/randr.h>

#include <algorithm>
#include <cctype>

#include "platform/x11/xcb_reply.h"

namespace platform::x11 {

namespace {

constexpr std::string_view kXwaylandName = "XWAYLAND";

bool extensionPresent(xcb_connection_t* c) {
  auto cookie = xcb_query_extension(c, static_cast<std::uint16_t>(kXwaylandName.size()),
                                    kXwaylandName.data());
  xcb_generic_error_t* error = nullptr;
  auto reply = takeReply(xcb_query_extension_reply(c, cookie, &error), error);
  return reply && reply->present != 0;
}

std::vector<std::string> randrOutputNames(xcb_connection_t* c, xcb_window_t root) {
  std::vector<std::string> names;
  const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
  if (randr == nullptr || randr->present == 0) return names;
  xcb_generic_error_t* error = nullptr;
  auto resources = takeReply(xcb_randr_get_screen_resources_current_reply(
                                 c, xcb_randr_get_screen_resources_current(c, root), &error),
                             error);
  if (!resources) return names;
  const xcb_randr_output_t* outputs =
      xcb_randr_get_screen_resources_current_outputs(resources.get());
  const int count = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
  // Ask for every output first, then read the answers: one round trip in all.
  std::vector<xcb_randr_get_output_info_cookie_t> cookies;
  for (int i = 0; i < count; ++i) {
    cookies.push_back(xcb_randr_get_output_info(c, outputs[i], resources->config_timestamp));
  }
  for (auto cookie : cookies) {
    auto info = takeReply(xcb_randr_get_output_info_reply(c, cookie, &error), error);
    if (!info) continue;  // the output went away in between
    const auto* name = reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get()));
    names.emplace_back(name, static_cast<std::size_t>(
                                 std::max(0, xcb_randr_get_output_info_name_length(info.get()))));
  }
  return names;
}

}  // namespace

bool namesXwaylandOutput(std::string_view outputName) {
  if (!outputName.starts_with(kXwaylandName)) return false;
  const std::string_view number = outputName.substr(kXwaylandName.size());
  return !number.empty() && std::all_of(number.begin(), number.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
}

bool looksLikeXwayland(bool extensionPresent, const std::vector<std::string>& outputNames) {
  return extensionPresent ||
         std::any_of(outputNames.begin(), outputNames.end(),
                     [](const std::string& n) { return namesXwaylandOutput(n); });
}

bool serverIsXwayland(xcb_connection_t* connection, xcb_window_t root) {
  if (connection == nullptr || xcb_connection_has_error(connection) != 0) return false;
  return looksLikeXwayland(extensionPresent(connection), randrOutputNames(connection, root));
}

}  // namespace platform::x11
