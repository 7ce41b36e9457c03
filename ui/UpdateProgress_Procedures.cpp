#include "UpdateProgress_Procedures.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

#include "frmProgress.h"

namespace tessil {

void UpdateProgress(frmProgress& progress) {
  if (progress.Redraw()) progress.ProcessPendingMessages();
}

void DisableCloseButton(QWidget* window, bool revert) {
  const bool shown = window->isVisible();
  Qt::WindowFlags flags =
      window->windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint;
  if (revert) {
    flags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
  } else {
    flags &= ~Qt::WindowCloseButtonHint;
  }
  const QPoint position = window->pos();
  window->setWindowFlags(flags);
  // Changing the frame takes the window off the screen; put it back.
  window->move(position);
  if (shown) window->show();
}

void EnableShowEcoSim(frmProgress& progress) { progress.EnableShowEcoSim(); }

}  // namespace tessil
