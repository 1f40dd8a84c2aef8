#pragma once

#include "platform/alert.h"

namespace platform::qt {

// Shows the alert as a modal message box and waits: the first button answers 1000 and is the
// default; the second answers 1001, and so do Escape and closing the box.
ModalResponse runAlertDialog(const Alert& alert);

}  // namespace platform::qt
