#include <gtest/gtest.h>

#include <unistd.h>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "QtTestApplication.h"
#include "QtWindowSystem.h"
#include "QtWindows.h"
#include "WindowMessages.h"
#include "WindowWorld.h"

namespace tessil {
namespace {

// A program that owns windows made elsewhere: the window system sees them
// once it has started it.
class Adopting final : public qtwin::HostedProgram {
 public:
  explicit Adopting(std::vector<WindowHandle> topLevels) : topLevels_(std::move(topLevels)) {}
  bool OwnsWindow(WindowHandle window) const override {
    return std::find(topLevels_.begin(), topLevels_.end(), window) != topLevels_.end();
  }

 private:
  std::vector<WindowHandle> topLevels_;
};

// A program file in a folder of its own, gone with the object.
struct ProgramFile {
  explicit ProgramFile(const std::string& name)
      : Folder(std::filesystem::temp_directory_path() / ("tessil-platform-" + std::to_string(::getpid()) + "-" + name)),
        Path((Folder / name).string()) {
    std::filesystem::create_directories(Folder);
    std::ofstream(Path) << "#!/bin/sh\n";
  }
  ~ProgramFile() {
    std::error_code ignored;
    std::filesystem::remove_all(Folder, ignored);
  }
  std::filesystem::path Folder;
  std::string Path;
};

// A little window tree in EcoSim's manner: a form with two panels, a button
// on the first and two size fields on the second.
struct Form {
  qtwin::WindowWorld World;
  ProgramFile File{"Form.exe"};
  std::unique_ptr<QWidget> Top = std::make_unique<QWidget>();
  std::unique_ptr<QWidget> Other = std::make_unique<QWidget>();
  QWidget* ButtonPanel = new QWidget(Top.get());
  QWidget* EditPanel = new QWidget(Top.get());
  QPushButton* Ok = new QPushButton(ButtonPanel);
  QWidget* EditA = new QWidget(EditPanel);
  QWidget* EditB = new QWidget(EditPanel);
  QPlainTextEdit* Memo = new QPlainTextEdit(Top.get());
  WindowHandle top, other, buttonPanel, editPanel, ok, editA, editB, memo;

  Form() {
    top = qtwin::MakeWindow(World.Windows(), Top.get(), "TEcoSimRedoMatrix", "Resize");
    other = qtwin::MakeWindow(World.Windows(), Other.get(), "TEcoSimRedoMatrix", "Second");
    buttonPanel = qtwin::MakeWindow(World.Windows(), ButtonPanel, "TPanel", "");
    editPanel = qtwin::MakeWindow(World.Windows(), EditPanel, "TPanel", "");
    ok = qtwin::MakeWindow(World.Windows(), Ok, "TButton", "&OK");
    editA = qtwin::MakeWindow(World.Windows(), EditA, "TEdit", "5");
    editB = qtwin::MakeWindow(World.Windows(), EditB, "TEdit", "5");
    memo = qtwin::MakeWindow(World.Windows(), Memo, "TMemo", "");
    World.Programs().RegisterProgram("Form.exe", [this](const std::string&) {
      return std::make_unique<Adopting>(std::vector<WindowHandle>{top, other});
    });
  }
  // The window system starts the form's program and sees its windows.
  QtWindowSystem& Start(QtWindowSystem& ws) {
    EXPECT_EQ(ws.ShellExecute(NoWindow, "open", File.Path, "", "", win::SW_SHOWNORMAL), win::SE_STARTED);
    ws.ProcessPendingMessages();
    return ws;
  }
};

TEST(QtWindowSystem, LookUpsFollowClassTextAndCreationOrder) {
  Form f;
  QtWindowSystem ws(f.World);
  f.Start(ws);
  struct Case {
    const char* what;
    WindowHandle found;
    WindowHandle expected;
  };
  const Case cases[] = {
      {"first top-level of its class", ws.FindWindow("TEcoSimRedoMatrix", std::nullopt), f.top},
      {"top-level by text, any case", ws.FindWindow("TEcoSimRedoMatrix", "SECOND"), f.other},
      {"class compared whole", ws.FindWindow("TEcoSimRedo", std::nullopt), NoWindow},
      {"child by class", ws.FindWindowEx(f.top, NoWindow, "TPanel", std::nullopt), f.buttonPanel},
      {"child after a sibling", ws.FindWindowEx(f.top, f.buttonPanel, "TPanel", std::nullopt), f.editPanel},
      {"nothing after the last", ws.FindWindowEx(f.top, f.editPanel, "TPanel", std::nullopt), NoWindow},
      {"after a window that is no child", ws.FindWindowEx(f.top, f.ok, "TPanel", std::nullopt), NoWindow},
      {"ampersand kept, case ignored", ws.FindWindowEx(f.buttonPanel, NoWindow, "TButton", "&ok"), f.ok},
      {"ampersand is part of the text", ws.FindWindowEx(f.buttonPanel, NoWindow, "TButton", "OK"), NoWindow},
      {"only direct children", ws.FindWindowEx(f.top, NoWindow, "TButton", std::nullopt), NoWindow},
      {"first size field", ws.FindWindowEx(f.editPanel, NoWindow, "TEdit", "5"), f.editA},
      {"second size field", ws.FindWindowEx(f.editPanel, f.editA, "TEdit", "5"), f.editB},
      {"under no parent nothing", ws.FindWindowEx(NoWindow, NoWindow, "TPanel", std::nullopt), NoWindow},
      {"top-levels are no children", ws.FindWindow("TPanel", std::nullopt), NoWindow},
  };
  for (const Case& c : cases) EXPECT_EQ(c.found, c.expected) << c.what;
}

TEST(QtWindowSystem, EditsKeepTheirNameWhileOtherWindowsAreRenamedByTheirText) {
  Form f;
  QtWindowSystem ws(f.World);
  f.Start(ws);
  EXPECT_EQ(ws.SendTextMessage(f.editA, win::WM_SETTEXT, 0, "12"), 1);
  EXPECT_EQ(ws.SendTextMessage(f.editB, win::WM_SETTEXT, 0, "40"), 1);
  EXPECT_EQ(ws.FindWindowEx(f.editPanel, NoWindow, "TEdit", "5"), f.editA);
  EXPECT_EQ(ws.FindWindowEx(f.editPanel, f.editA, "TEdit", "5"), f.editB);
  EXPECT_EQ(ws.FindWindowEx(f.editPanel, NoWindow, "TEdit", "12"), NoWindow);
  EXPECT_EQ(qtwin::TextOf(f.World.Windows(), f.EditA), "12");

  ws.SendTextMessage(f.ok, win::WM_SETTEXT, 0, "&Go");
  EXPECT_EQ(ws.FindWindowEx(f.buttonPanel, NoWindow, "TButton", "&OK"), NoWindow);
  EXPECT_EQ(ws.FindWindowEx(f.buttonPanel, NoWindow, "TButton", "&go"), f.ok);

  std::array<char, 10> caption{};
  ws.SendTextMessage(f.top, win::WM_SETTEXT, 0, "...123456789");
  EXPECT_EQ(ws.GetWindowText(f.top, caption), 9);
  EXPECT_STREQ(caption.data(), "...123456");

  // Off the screen nothing is drawn; on it, the window shows its texts.
  EXPECT_EQ(f.Ok->text().toStdString(), "");
  qtwin::SetShown(f.World.Windows(), f.Top.get(), true);
  ws.SetWindowPos(f.top, win::HWND_TOP, 0, 0, 300, 200, 0);
  EXPECT_EQ(f.Ok->text().toStdString(), "&Go");
  EXPECT_EQ(f.Top->windowTitle().toStdString(), "...123456789");
  EXPECT_EQ(qtwin::TextOf(f.World.Windows(), f.EditA), "12");
}

TEST(QtWindowSystem, VisibilityNeedsEveryAncestorAndIsNotMappingOnTheScreen) {
  Form f;
  QtWindowSystem ws(f.World, QtWindowSystem::Options{nullptr, ScreenSize{1024, 768}});
  f.Start(ws);
  EXPECT_FALSE(ws.IsWindowVisible(f.top)) << "a window starts hidden";
  EXPECT_FALSE(ws.IsWindowVisible(f.ok));
  qtwin::SetShown(f.World.Windows(), f.Top.get(), true);
  EXPECT_TRUE(ws.IsWindowVisible(f.top));
  EXPECT_TRUE(ws.IsWindowVisible(f.ok));
  qtwin::SetShown(f.World.Windows(), f.ButtonPanel, false);
  EXPECT_FALSE(ws.IsWindowVisible(f.ok)) << "a hidden parent hides its children";
  EXPECT_TRUE(ws.IsWindowVisible(f.editA));
  EXPECT_FALSE(ws.IsWindowVisible(NoWindow));

  EXPECT_FALSE(ws.IsMapped(f.top)) << "visible to EcoSim's protocol, yet not on the screen";
  ws.SetWindowPos(f.top, win::HWND_BOTTOM, 1025, 0, 1, 1, win::SWP_NOACTIVATE);
  EXPECT_FALSE(ws.IsMapped(f.top)) << "off the screen";
  ws.SetWindowPos(f.top, win::HWND_TOP, 228, 77, 694, 418, win::SWP_NOACTIVATE);
  EXPECT_TRUE(ws.IsMapped(f.top));
  EXPECT_EQ(ws.PlacedGeometry(f.top), QRect(228, 77, 694, 418));
  EXPECT_TRUE(ws.ShowWindow(f.top, win::SW_HIDE));
  EXPECT_FALSE(ws.IsMapped(f.top));
  EXPECT_FALSE(ws.IsWindowVisible(f.top));
  ws.ShowWindow(f.top, win::SW_SHOWNORMAL);
  EXPECT_TRUE(ws.IsMapped(f.top)) << "placed on the screen and shown again";

  const WindowHandle ok = f.ok;
  delete f.ButtonPanel;
  EXPECT_FALSE(ws.IsWindow(ok));
  EXPECT_FALSE(ws.IsWindowVisible(ok));
  EXPECT_EQ(ws.FindWindowEx(f.top, NoWindow, "TPanel", std::nullopt), f.editPanel);
}

// Records the messages a window receives, and handles WM_SETTEXT itself
// when asked to.
class Recorder final : public qtwin::WindowProcedure {
 public:
  std::vector<std::pair<std::uint32_t, bool>> Seen;  // message, posted
  bool TakeSetText = false;

 protected:
  bool HandleMessage(QWidget*, qtwin::WindowMessageEvent& m) override {
    Seen.emplace_back(m.Message, m.Posted);
    if (m.Message == win::WM_SETTEXT && TakeSetText) {
      m.Result = 7;
      return true;
    }
    return false;
  }
};

TEST(QtWindowSystem, PostedMessagesWaitForTheNextTurnAndSentOnesAreAnsweredAtOnce) {
  Form f;
  QtWindowSystem ws(f.World);
  Recorder recorder;
  recorder.Attach(f.World.Windows(), f.Ok);
  int clicks = 0;
  QObject::connect(f.Ok, &QPushButton::clicked, [&clicks] { ++clicks; });

  EXPECT_TRUE(ws.PostMessage(f.ok, win::BM_CLICK, 0, 0));
  ws.SendMessage(f.ok, win::WM_KEYDOWN, win::VK_SPACE, 0x00390001);
  EXPECT_EQ(clicks, 0) << "a posted click waits in the queue";
  ASSERT_EQ(recorder.Seen.size(), 1u);
  EXPECT_EQ(recorder.Seen[0], std::make_pair(win::WM_KEYDOWN, false));
  ws.ProcessPendingMessages();
  EXPECT_EQ(clicks, 1);
  ASSERT_EQ(recorder.Seen.size(), 2u);
  EXPECT_EQ(recorder.Seen[1], std::make_pair(win::BM_CLICK, true));

  Recorder later;
  later.Attach(f.World.Windows(), f.Ok);
  later.TakeSetText = true;
  EXPECT_EQ(ws.SendTextMessage(f.ok, win::WM_SETTEXT, 0, "Other"), 7);
  EXPECT_EQ(qtwin::TextOf(f.World.Windows(), f.Ok), "&OK") << "the window's own handler kept the default away";
  EXPECT_EQ(recorder.Seen.size(), 2u) << "the handler attached last takes the message first";

  EXPECT_FALSE(ws.PostMessage(NoWindow, win::BM_CLICK, 0, 0));
  EXPECT_EQ(ws.SendMessage(NoWindow, win::WM_CHAR, 0x31, 0), 0);
  ws.PostMessage(f.ok, win::BM_CLICK, 0, 0);
  delete f.ButtonPanel;
  ws.ProcessPendingMessages();
  EXPECT_EQ(clicks, 1) << "a message to a destroyed window is dropped";
}

TEST(QtWindowSystem, BetweenFullTurnsOnlyPostedMessagesAreDelivered) {
  Form f;
  QtWindowSystem::Options options;
  options.FullTurnSeconds = 3600;  // no second full turn within this test
  QtWindowSystem ws(f.World, options);
  int clicks = 0;
  int ticks = 0;
  QObject::connect(f.Ok, &QPushButton::clicked, [&clicks] { ++clicks; });
  QTimer timer;
  timer.setInterval(0);
  QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
  ws.ProcessPendingMessages();  // the first turn is a full one
  timer.start();
  for (int turn = 0; turn < 3; ++turn) {
    ws.PostMessage(f.ok, win::BM_CLICK, 0, 0);
    ws.ProcessPendingMessages();
    EXPECT_EQ(clicks, turn + 1) << "every turn delivers what was posted";
  }
  EXPECT_EQ(ticks, 0) << "timers and the window system wait for the next full turn";
  QtWindowSystem full(f.World);
  full.ProcessPendingMessages();
  EXPECT_GE(ticks, 1);
}

TEST(QtWindowSystem, LinesAreCopiedUpToTheBufferCapacityWithoutATerminatingZero) {
  Form f;
  QtWindowSystem ws(f.World);
  qtwin::SetText(f.World.Windows(), f.Memo, "line 0\r\nline 1\r\n\r\np(observed >= expected) = 0.04700 and more");
  qtwin::SetText(f.World.Windows(), f.EditA, "1");
  struct Case {
    WindowHandle window;
    std::uintptr_t line;
    std::size_t capacity;
    std::intptr_t copied;
    std::string bytes;
  };
  const Case cases[] = {
      {f.memo, 1, 33, 6, std::string("line 1") + std::string(27, ' ')},
      {f.memo, 3, 33, 33, "p(observed >= expected) = 0.04700"},
      {f.memo, 2, 33, 0, std::string("\x21\0", 2) + std::string(31, ' ')},  // an empty line
      {f.memo, 9, 33, 0, std::string("\x21\0", 2) + std::string(31, ' ')},  // past the last line
      {f.editA, 0, 2, 1, std::string("1\0", 2)},
      {f.editA, 4, 2, 1, std::string("1\0", 2)},  // a single-line edit has one line
      {f.ok, 0, 2, 0, std::string("\x02\0", 2)},  // a button is no edit
  };
  for (const Case& c : cases) {
    std::string buffer(c.capacity, ' ');
    buffer[0] = static_cast<char>(c.capacity);
    buffer[1] = '\0';
    EXPECT_EQ(ws.SendBufferMessage(c.window, win::EM_GETLINE, c.line, buffer), c.copied) << c.line;
    EXPECT_EQ(buffer, c.bytes) << c.line;
  }
}

// Another program's controls are read whole: the length, then the text with
// a terminating zero, never more than the buffer's size asks.
TEST(QtWindowSystem, WholeTextsAreReadByLengthThenText) {
  Form f;
  QtWindowSystem ws(f.World);
  const std::string memo = "line 0\r\np(observed >= expected) = 0,25\r\n";
  qtwin::SetText(f.World.Windows(), f.Memo, memo);
  ws.SendTextMessage(f.editA, win::WM_SETTEXT, 0, "1");
  auto tessil = std::make_unique<QWidget>();
  tessil->setWindowTitle("Tessil Progress...");
  const WindowHandle own = qtwin::HandleOf(f.World.Windows(), tessil.get());
  struct Case {
    WindowHandle window;
    std::size_t size;  // of the buffer, given as wParam
    std::intptr_t length;
    std::string bytes;  // the buffer afterwards
  };
  const Case cases[] = {
      {f.memo, memo.size() + 1, static_cast<std::intptr_t>(memo.size()), memo + std::string(1, '\0')},
      {f.memo, 5, static_cast<std::intptr_t>(memo.size()), std::string("line\0", 5)},
      {f.editA, 2, 1, std::string("1\0", 2)},  // the content, not the creation text
      {f.ok, 5, 3, std::string("&OK\0", 4) + "."},
      {own, 19, 18, std::string("Tessil Progress...\0", 19)},
      {f.memo, 0, static_cast<std::intptr_t>(memo.size()), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ws.SendMessage(c.window, win::WM_GETTEXTLENGTH, 0, 0), c.length) << c.bytes;
    std::string buffer(c.bytes.size(), '.');
    const std::intptr_t copied = ws.SendBufferMessage(c.window, win::WM_GETTEXT, c.size, buffer);
    EXPECT_EQ(copied, c.size == 0 ? 0 : std::min<std::intptr_t>(c.length, static_cast<std::intptr_t>(c.size) - 1));
    EXPECT_EQ(buffer, c.bytes);
  }
}

TEST(QtWindowSystem, StylesAlphaStackingAndForeground) {
  Form f;
  QtWindowSystem ws(f.World, QtWindowSystem::Options{nullptr, ScreenSize{1024, 768}});
  auto progress = std::make_unique<QWidget>();
  progress->show();
  const WindowHandle tessil = qtwin::HandleOf(f.World.Windows(), progress.get());
  EXPECT_EQ(qtwin::HandleOf(f.World.Windows(), progress.get()), tessil) << "one handle per widget";

  EXPECT_EQ(ws.SetWindowLong(f.top, win::GWL_EXSTYLE, ws.GetWindowLong(f.top, win::GWL_EXSTYLE) | win::WS_EX_LAYERED),
            0);
  EXPECT_TRUE(ws.SetLayeredWindowAttributes(f.top, 0, 150, win::LWA_ALPHA));
  const std::int32_t layered = ws.GetWindowLong(f.top, win::GWL_EXSTYLE);
  EXPECT_EQ(ws.SetWindowLong(f.top, win::GWL_EXSTYLE, layered | win::WS_EX_TRANSPARENT), win::WS_EX_LAYERED);
  EXPECT_EQ(ws.GetWindowLong(f.top, win::GWL_EXSTYLE), 0x80020);
  EXPECT_EQ(ws.LayeredAlpha(f.top), std::uint8_t{150});
  EXPECT_NEAR(f.Top->windowOpacity(), 150.0 / 255.0, 0.01);
  EXPECT_TRUE(f.Top->windowFlags().testFlag(Qt::WindowTransparentForInput));
  EXPECT_TRUE(f.Top->testAttribute(Qt::WA_TransparentForMouseEvents));

  ws.SetForegroundWindow(tessil);
  ws.SetWindowPos(f.other, tessil, 10, 10, 100, 100, win::SWP_NOACTIVATE);
  ws.SetWindowPos(f.top, tessil, 10, 10, 100, 100, win::SWP_NOACTIVATE);
  std::vector<WindowHandle> order = ws.StackingOrder();
  std::erase_if(order, [&](WindowHandle h) { return h != tessil && h != f.top && h != f.other; });
  EXPECT_EQ(order, (std::vector<WindowHandle>{tessil, f.top, f.other})) << "each directly below Tessil's window";
  ws.SetWindowPos(f.top, win::HWND_BOTTOM, 1025, 0, 1, 1, win::SWP_NOACTIVATE);
  order = ws.StackingOrder();
  EXPECT_EQ(order.back(), f.top);
  ws.SetWindowPos(f.other, win::HWND_BOTTOM, 0, 0, 0, 0, win::SWP_NOACTIVATE | win::SWP_NOMOVE | win::SWP_NOZORDER);
  EXPECT_EQ(ws.StackingOrder().back(), f.top) << "no change of order asked";
  EXPECT_EQ(ws.PlacedGeometry(f.other), QRect(10, 10, 0, 0));
}

// A program that is nothing but one window.
class OneWindowProgram final : public qtwin::HostedProgram {
 public:
  OneWindowProgram(qtwin::WindowRegistry& windows, std::string folder) : Folder(std::move(folder)) {
    handle_ = qtwin::MakeWindow(windows, window_.get(), "TOneWindow", Folder);
    qtwin::SetShown(windows, window_.get(), true);
  }
  bool OwnsWindow(WindowHandle window) const override { return window == handle_; }
  std::string Folder;

 private:
  std::unique_ptr<QWidget> window_ = std::make_unique<QWidget>();
  WindowHandle handle_;
};

TEST(QtWindowSystem, OpeningAProgramFileStartsTheProgramRegisteredForItsName) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tessil-platform-open";
  std::filesystem::create_directories(folder / "EcoSim");
  const std::string file = (folder / "EcoSim" / "OneWindow.exe").string();
  std::ofstream(file) << "#!/bin/sh\n";
  qtwin::WindowWorld world;
  world.Programs().RegisterProgram("onewindow.EXE", [&world](const std::string& dir) {
    return std::make_unique<OneWindowProgram>(world.Windows(), dir);
  });
  QtWindowSystem ws(world);

  EXPECT_EQ(ws.ShellExecute(NoWindow, "open", file, "", (folder / "EcoSim").string() + "/", win::SW_SHOWNORMAL),
            win::SE_STARTED);
  EXPECT_EQ(ws.FindWindow("TOneWindow", std::nullopt), NoWindow) << "the program comes up while Tessil goes on";
  ws.ProcessPendingMessages();
  const WindowHandle window = ws.FindWindow("TOneWindow", std::nullopt);
  EXPECT_TRUE(ws.IsWindowVisible(window));
  EXPECT_NE(ws.FindWindow("TOneWindow", (folder / "EcoSim").string() + "/"), NoWindow) << "its working folder";
  EXPECT_EQ(world.Programs().RunningPrograms(), 1u);

  ws.LeaveBehind(window);
  EXPECT_EQ(world.Programs().RunningPrograms(), 0u) << "a program hosted here is ended when Tessil gives up on it";
  EXPECT_FALSE(ws.IsWindow(window));

  EXPECT_EQ(ws.ShellExecute(NoWindow, "open", (folder / "Missing.exe").string(), "", "", 1), win::SE_ERR_FNF);
  EXPECT_EQ(ws.ShellExecute(NoWindow, "print", file, "", "", 1), win::SE_ERR_NOASSOC);
  world.Programs().UnregisterProgram("OneWindow.exe");
  EXPECT_EQ(ws.ShellExecute(NoWindow, "open", file, "", "", 1), win::SE_ERR_NOASSOC);
  ws.ProcessPendingMessages();
  EXPECT_EQ(world.Programs().RunningPrograms(), 0u);
  std::filesystem::remove_all(folder);
}

// Each world is the whole of what its window system sees: a test that builds
// a fresh one starts from nothing, whatever another left behind.
TEST(QtWindowSystem, WorldsShareNeitherWindowsNorPrograms) {
  const ProgramFile file("OneWindow.exe");
  Form f;
  const auto registerIn = [](qtwin::WindowWorld& world) {
    world.Programs().RegisterProgram("OneWindow.exe", [&world](const std::string& dir) {
      return std::make_unique<OneWindowProgram>(world.Windows(), dir);
    });
  };
  registerIn(f.World);
  QtWindowSystem first(f.World);
  EXPECT_EQ(first.ShellExecute(NoWindow, "open", file.Path, "", "", 1), win::SE_STARTED);
  first.ProcessPendingMessages();
  ASSERT_EQ(f.World.Programs().RunningPrograms(), 1u);

  qtwin::WindowWorld fresh;
  QtWindowSystem second(fresh);
  EXPECT_EQ(second.FindWindow("TEcoSimRedoMatrix", std::nullopt), NoWindow);
  EXPECT_EQ(second.FindWindow("TOneWindow", std::nullopt), NoWindow);
  EXPECT_FALSE(second.IsWindow(f.top));
  EXPECT_EQ(second.ShellExecute(NoWindow, "open", file.Path, "", "", 1), win::SE_ERR_NOASSOC);
  EXPECT_EQ(fresh.Programs().RunningPrograms(), 0u);
  // Its own programs get windows of their own, seen by it alone.
  registerIn(fresh);
  EXPECT_EQ(second.ShellExecute(NoWindow, "open", file.Path, "", "", 1), win::SE_STARTED);
  second.ProcessPendingMessages();
  const WindowHandle mine = second.FindWindow("TOneWindow", std::nullopt);
  EXPECT_NE(mine, NoWindow);
  EXPECT_NE(first.FindWindow("TOneWindow", std::nullopt), NoWindow);
}

// Only the program this window system started is Tessil's: a copy the user
// started before, another program's message box and this process's own
// windows are never found, and so never clicked or closed.
TEST(QtWindowSystem, LookUpsSeeOnlyTheProgramThisWindowSystemStarted) {
  const ProgramFile file("OneWindow.exe");
  qtwin::WindowWorld world;
  world.Programs().RegisterProgram("OneWindow.exe", [&world](const std::string& dir) {
    return std::make_unique<OneWindowProgram>(world.Windows(), dir);
  });
  qtwin::HostedProgram* users = world.Programs().StartProgram(file.Path, "the user's");
  ASSERT_NE(users, nullptr);
  QWidget box;
  const WindowHandle foreign = qtwin::MakeWindow(world.Windows(), &box, "TMessageForm", "Confirm");
  auto* ok = new QPushButton(&box);
  qtwin::MakeWindow(world.Windows(), ok, "TButton", "OK");
  qtwin::SetShown(world.Windows(), &box, true);
  QWidget own;
  own.setWindowTitle("Tessil");
  qtwin::HandleOf(world.Windows(), &own);

  QtWindowSystem ws(world);
  QtWindowSystem other(world);
  const auto nothingElse = [&](QtWindowSystem& w) {
    EXPECT_EQ(w.FindWindow("TMessageForm", std::nullopt), NoWindow);
    EXPECT_EQ(w.FindWindowEx(foreign, NoWindow, "TButton", "OK"), NoWindow) << "nor under another's window";
    EXPECT_EQ(w.FindWindow("QWidget", "Tessil"), NoWindow);
  };
  EXPECT_EQ(ws.FindWindow("TOneWindow", std::nullopt), NoWindow) << "nothing started, nothing seen";
  EXPECT_FALSE(ws.StartedProgramEnded());
  nothingElse(ws);

  EXPECT_EQ(ws.ShellExecute(NoWindow, "open", file.Path, "", "mine", 1), win::SE_STARTED);
  EXPECT_EQ(other.ShellExecute(NoWindow, "open", file.Path, "", "other's", 1), win::SE_STARTED);
  EXPECT_FALSE(ws.StartedProgramEnded()) << "starting";
  ws.ProcessPendingMessages();
  EXPECT_FALSE(ws.StartedProgramEnded()) << "running";
  EXPECT_NE(ws.FindWindow("TOneWindow", std::nullopt), NoWindow);
  EXPECT_EQ(ws.FindWindow("TOneWindow", "the user's"), NoWindow);
  EXPECT_EQ(ws.FindWindow("TOneWindow", "other's"), NoWindow);
  const WindowHandle mine = ws.FindWindow("TOneWindow", "mine");
  EXPECT_EQ(ws.FindWindow("TOneWindow", std::nullopt), mine) << "the user's copy came first, and is not seen";
  EXPECT_NE(other.FindWindow("TOneWindow", "other's"), NoWindow);
  nothingElse(ws);

  ws.LeaveBehind(mine);
  EXPECT_TRUE(ws.StartedProgramEnded());
  EXPECT_FALSE(other.StartedProgramEnded());
  EXPECT_EQ(ws.FindWindow("TOneWindow", std::nullopt), NoWindow) << "never the user's copy in its place";
  EXPECT_EQ(world.Programs().RunningPrograms(), 2u);

  // A start that fails leaves nothing seen and nothing ended; a program that
  // ends before it comes up has ended.
  world.Programs().UnregisterProgram("OneWindow.exe");
  EXPECT_EQ(ws.ShellExecute(NoWindow, "open", file.Path, "", "", 1), win::SE_ERR_NOASSOC);
  EXPECT_FALSE(ws.StartedProgramEnded());
  world.Programs().RegisterProgram("OneWindow.exe", [](const std::string&) { return nullptr; });
  EXPECT_EQ(ws.ShellExecute(NoWindow, "open", file.Path, "", "", 1), win::SE_STARTED);
  EXPECT_FALSE(ws.StartedProgramEnded());
  ws.ProcessPendingMessages();
  EXPECT_TRUE(ws.StartedProgramEnded());
  EXPECT_EQ(world.Programs().RunningPrograms(), 2u) << "the user's copy and the other's run on";
  EXPECT_TRUE(qtwin::IsShown(world.Windows(), &box));

  // Each start replaces the one before: a window of the earlier start, seen
  // a moment ago and still running, is seen no more.
  world.Programs().RegisterProgram("OneWindow.exe", [&world](const std::string& dir) {
    return std::make_unique<OneWindowProgram>(world.Windows(), dir);
  });
  ws.ShellExecute(NoWindow, "open", file.Path, "", "first", 1);
  ws.ProcessPendingMessages();
  ASSERT_NE(ws.FindWindow("TOneWindow", "first"), NoWindow);
  ws.ShellExecute(NoWindow, "open", file.Path, "", "second", 1);
  ws.ProcessPendingMessages();
  EXPECT_EQ(ws.FindWindow("TOneWindow", "first"), NoWindow);
  EXPECT_NE(ws.FindWindow("TOneWindow", "second"), NoWindow);
}

}  // namespace
}  // namespace tessil
