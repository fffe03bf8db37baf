#include "Messages.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace plat {

void InstallQtMessagePump() {
  SetMessageWakeUp([] {
    if (QCoreApplication *app = QCoreApplication::instance())
      QMetaObject::invokeMethod(
          app, [] { ProcessMessages(); }, Qt::QueuedConnection);
  });
  // Work queued before the pump existed.
  ProcessMessages();
}

} // namespace plat
