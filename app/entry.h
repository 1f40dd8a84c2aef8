#pragma once

#include <memory>

#include "app/quillmere_app.h"
#include "platform/application.h"

namespace quillmere {

// The process-wide delegate, which keeps it alive for the whole run, and the application.
extern std::shared_ptr<QuillmereApp> delegate;
extern platform::Application* app;

// The entry sequence once a backend is installed: creates the delegate, obtains the
// application, installs the delegate, makes it an accessory application and runs.
int runQuillmere();

namespace testing_seam {
// Drops the process-wide delegate and application so that a test starts afresh.
void resetProcessState();
}  // namespace testing_seam

}  // namespace quillmere
