#pragma once

#include "config/program.h"
#include "text/text.h"

namespace qm {

// Asks the desktop to open an address in the user's browser; whether it could is not
// looked at.
void openInBrowser(Program& program, const Text& address);
// The publisher's home page and feedback page.
void openHomePage(Program& program);
void openFeedbackPage(Program& program);

}  // namespace qm
