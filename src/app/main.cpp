// The program entry: the main window and its event table, the start-up sequence,
// the event loop until the window closes, and the end of the process.
#include <QApplication>
#include <QEvent>
#include <QObject>
#include <cstdlib>

#include "app/event_table.h"
#include "app/main_window_form.h"
#include "app/startup.h"
#include "config/endpoints.h"
#include "config/program.h"
#include "platform/file_access.h"
#include "platform/mail_sender.h"
#include "platform/sound_player.h"
#include "toolkit/qt_toolkit.h"

namespace {

// Ends the event loop when the main window closes (by its close box or Esc), whatever
// other window is open.
class QuitOnClose : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Close) QCoreApplication::quit();
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

int main(int argc, char** argv) {
  // The program takes no arguments: Qt sees only the program's name.
  int qtArgc = 1;
  char* qtArgv[] = {argc > 0 ? argv[0] : nullptr, nullptr};
  QApplication app(qtArgc, qtArgv);

  // Check workers run detached and may still use the toolkit, the Program (its
  // MonitorState and AlertLock), the sound player and the mail sender when the
  // window closes. These live on the heap and are never destroyed: the process ends
  // under them by std::_Exit below, so no destructor races a worker.
  auto* sound = new qm::SoundPlayer();
  auto* mail = new qm::MailSender();
  QWidget* window = qm::createMainWindow();
  auto* toolkit = new qm::QtToolkit(window);
  auto* program =
      new qm::Program{*toolkit, qm::buildEndpoints(), qm::executableDirectory(), sound, mail, {}, {}};
  qm::bindEventTable(*program, *toolkit);

  QuitOnClose quitOnClose;
  window->installEventFilter(&quitOnClose);
  window->show();
  // Before the loop runs, so no input is handled until the start-up sequence is done.
  toolkit->fire(qm::kMainWindowName, qm::UiEvent::Created);
  QApplication::exec();

  // From here on, worker calls into the toolkit return empty at once.
  toolkit->shutdown();
  window->removeEventFilter(&quitOnClose);
  delete window;
  qm::exitCleanup(*program);
  std::_Exit(0);
}
