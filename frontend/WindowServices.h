// What every window's rules ask of the outside world, without any window
// system: message boxes, the help viewer, the save dialog and the writing of
// a file. Each face (Qt, Win32) implements them over its own controls, and
// tests script them. Texts are UTF-8; a face converts at its edge.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessil {

// The caption of every message box.
inline constexpr std::string_view MessageBoxTitle = "Tessil";

// Message boxes titled "Tessil", with an OK button (Yes and No for a question)
// and no icon. The face binds the window that owns them.
class UserMessages {
 public:
  virtual ~UserMessages() = default;
  // Returns once the user has pressed OK.
  virtual void Inform(std::string_view text) = 0;
  // Yes is true.
  virtual bool AskYesNo(std::string_view text) = 0;
};

inline constexpr std::string_view HelpFile = "Tessil Help.chm";
inline constexpr std::string_view GettingStartedTopic = "Getting Started.htm";
inline constexpr std::string_view ResultsTopic = "Results.htm";

// Access to the help: a named topic opens in a help window of its own, which
// belongs to no window of the program and does not block it; CloseAllHelp
// closes every such window when the program exits.
class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  // Opens the topic of the help file, or reports nothing when either is missing.
  virtual void ShowHelpTopic(std::string_view file, std::string_view topic) = 0;
  // Closes every help window opened so far.
  virtual void CloseAllHelp() = 0;
};

// What a save dialog is asked to show: its title, its filters as (caption,
// pattern) with the first active, and the folder and name it starts at.
struct SaveFileRequest {
  std::string Title;
  std::vector<std::pair<std::string, std::string>> Filters;
  std::string Folder;
  std::string Name;
  bool operator==(const SaveFileRequest&) const = default;
};

// The save dialog: the chosen path as typed (no extension added), or an
// empty text when the user cancelled or the dialog failed.
using SaveFileDialog = std::function<std::string(const SaveFileRequest& request)>;

// A save dialog's answer with the filter in use when it was accepted, as an
// index into the request's filters.
struct ChosenFile {
  std::string Path;
  std::size_t Filter = 0;
  bool operator==(const ChosenFile&) const = default;
};
using FilteredSaveFileDialog = std::function<ChosenFile(const SaveFileRequest& request)>;

// Writes the bytes to the path whole or not at all: a new file replaces an
// existing one only once complete. False with the reason when it fails; what
// was there is then left as it was.
using FileWriter = std::function<bool(const std::string& path, const std::string& bytes, std::string& reason)>;

}  // namespace tessil
