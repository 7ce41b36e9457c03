#include "HelpPages.h"

#include <QtCore/qglobal.h>

// The pages are compiled into a static library, whose resource registration
// a linker may drop; asking for it by name keeps it.
static void RegisterHelpPages() { Q_INIT_RESOURCE(tessil_help_pages); }

namespace tessil {

QString HelpPagesFolder() {
  static const bool registered = (RegisterHelpPages(), true);
  static_cast<void>(registered);
  return QStringLiteral(":/help");
}

}  // namespace tessil
