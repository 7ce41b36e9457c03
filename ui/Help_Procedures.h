// Access to the help: a named topic opens in a help window of its own, which
// belongs to no window of the program and does not block it; CloseAllHelp
// closes every such window when the program exits.
#pragma once

#include <QPointer>
#include <QString>
#include <map>
#include <string>
#include <string_view>

#include "WindowServices.h"

class QWidget;

namespace tessil {

class HelpBrowserWindow;

// Help windows on screen. The help file named "Tessil Help.chm" is the folder
// of pages given at construction; one window per help file, reused for every
// topic of that file, as a help viewer does.
class HelpWindows final : public HelpViewer {
 public:
  explicit HelpWindows(QString pagesFolder);
  ~HelpWindows() override;
  HelpWindows(const HelpWindows&) = delete;
  HelpWindows& operator=(const HelpWindows&) = delete;

  void ShowHelpTopic(std::string_view file, std::string_view topic) override;
  void CloseAllHelp() override;

  // The window showing the file, if one is open.
  QWidget* WindowOf(std::string_view file) const;
  // The address of the page shown in the file's window, empty when none.
  QString ShownPage(std::string_view file) const;
  int OpenWindows() const;

 private:
  QString pagesFolder_;
  std::map<std::string, QPointer<HelpBrowserWindow>, std::less<>> windows_;
};

}  // namespace tessil
