#include "app/quillmere_app.h"
#include "platform/alert.h"
#include "platform/application.h"
#include "platform/workspace.h"

namespace quillmere {

using namespace platform;

// Asks once whether we may observe other applications' input, and offers the settings page
// when we may not. The launch goes on whatever the answer.
void QuillmereApp::checkPermissions() {
  const TrustCheckOptions options{{std::string(kTrustedCheckOptionPrompt), true}};
  if (isProcessTrustedWithOptions(options)) {
    writeStandardOutputLine("Accessibility permissions granted.");
    return;
  }

  Alert alert;
  alert.setMessageText("Quillmere needs permission");
  alert.setInformativeText(
      "To blur windows, Quillmere needs Accessibility permission. Please enable it in System "
      "Settings.");
  alert.addButtonWithTitle("Open System Settings");
  alert.addButtonWithTitle("I'll do it later");

  if (alert.runModal() == kAlertFirstButtonReturn) {
    Workspace& workspace = Workspace::sharedWorkspace();
    workspace.openURL(workspace.accessibilitySettingsURL());
  }
}

}  // namespace quillmere
