#include "app/link_actions.h"

namespace qm {

void openInBrowser(Program& program, const Text& address) { program.tk.openAddress(address); }

void openHomePage(Program& program) { openInBrowser(program, program.endpoints.homePage); }

void openFeedbackPage(Program& program) { openInBrowser(program, program.endpoints.feedbackPage); }

}  // namespace qm
