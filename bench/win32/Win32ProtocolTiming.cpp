// What driving EcoSim through Win32 messages across processes costs, timed
// with the steady clock (run it under Windows or Wine):
//   - one bare cross-process send round trip (WM_GETTEXTLENGTH to a window
//     of another process), straight from this thread and through the Win32
//     window system (which hands it to a sender thread);
//   - when EcoSim\EcoSim700.exe lies beside this program, the window
//     protocol's matrix entry at 10 x 10 and 50 x 50, per cell and per
//     matrix, with the sends and posts it makes per cell, and one whole
//     matrix (entry, options, test, p-value, results closed) at 10 x 10.
//
//   win32_protocol_timing.exe [sends]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "Distribution_Functions.h"
#include "Kernel_Procedures.h"
#include "Win32WindowSystem.h"
#include "WindowProtocolEcoSim.h"
#include "WindowsApi.h"

namespace tessil {
namespace {

using Clock = std::chrono::steady_clock;

double MicrosecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

std::filesystem::path ProgramFile() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return std::filesystem::path(path);
}

// The far end of the bare round trips: a window of its own process.
int RunTarget() {
  WNDCLASSA c{};
  c.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(w, m, wp, lp);
  };
  c.hInstance = GetModuleHandleA(nullptr);
  c.lpszClassName = "TessilTimingTarget";
  RegisterClassA(&c);
  HWND w = CreateWindowExA(0, "TessilTimingTarget", "Timing target", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                           nullptr, c.hInstance, nullptr);
  ShowWindow(w, SW_SHOWNORMAL);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
  return 0;
}

// Counts what the protocol asks of the window system, passing it on.
class CountingWindowSystem final : public WindowSystem {
 public:
  explicit CountingWindowSystem(WindowSystem& inner) : inner_(inner) {}
  long Sends = 0;
  long Posts = 0;
  long LookUps = 0;

  WindowHandle FindWindow(std::string_view c, std::optional<std::string_view> t) override {
    ++LookUps;
    return inner_.FindWindow(c, t);
  }
  WindowHandle FindWindowEx(WindowHandle p, WindowHandle a, std::string_view c,
                            std::optional<std::string_view> t) override {
    ++LookUps;
    return inner_.FindWindowEx(p, a, c, t);
  }
  bool IsWindowVisible(WindowHandle w) override { return inner_.IsWindowVisible(w); }
  bool IsWindow(WindowHandle w) override { return inner_.IsWindow(w); }
  bool PostMessage(WindowHandle w, std::uint32_t m, std::uintptr_t wp, std::intptr_t lp) override {
    ++Posts;
    return inner_.PostMessage(w, m, wp, lp);
  }
  std::intptr_t SendMessage(WindowHandle w, std::uint32_t m, std::uintptr_t wp, std::intptr_t lp) override {
    ++Sends;
    return inner_.SendMessage(w, m, wp, lp);
  }
  std::intptr_t SendTextMessage(WindowHandle w, std::uint32_t m, std::uintptr_t wp, std::string_view t) override {
    ++Sends;
    return inner_.SendTextMessage(w, m, wp, t);
  }
  std::intptr_t SendBufferMessage(WindowHandle w, std::uint32_t m, std::uintptr_t wp, std::span<char> b) override {
    ++Sends;
    return inner_.SendBufferMessage(w, m, wp, b);
  }
  WindowHandle SetFocus(WindowHandle w) override { return inner_.SetFocus(w); }
  int GetWindowText(WindowHandle w, std::span<char> b) override { return inner_.GetWindowText(w, b); }
  std::int32_t GetWindowLong(WindowHandle w, int i) override { return inner_.GetWindowLong(w, i); }
  std::int32_t SetWindowLong(WindowHandle w, int i, std::int32_t v) override { return inner_.SetWindowLong(w, i, v); }
  bool SetLayeredWindowAttributes(WindowHandle w, std::uint32_t k, std::uint8_t a, std::uint32_t f) override {
    return inner_.SetLayeredWindowAttributes(w, k, a, f);
  }
  bool SetWindowPos(WindowHandle w, WindowHandle a, int x, int y, int cx, int cy, std::uint32_t f) override {
    return inner_.SetWindowPos(w, a, x, y, cx, cy, f);
  }
  bool ShowWindow(WindowHandle w, int c) override { return inner_.ShowWindow(w, c); }
  bool SetForegroundWindow(WindowHandle w) override { return inner_.SetForegroundWindow(w); }
  bool IsKeyDownFor(WindowHandle w, std::uintptr_t k) override { return inner_.IsKeyDownFor(w, k); }
  bool MessagesRefused() override { return inner_.MessagesRefused(); }
  void SetSendWait(std::function<void()> h) override { inner_.SetSendWait(std::move(h)); }
  std::intptr_t ShellExecute(WindowHandle o, std::string_view v, const std::string& f, const std::string& p,
                             const std::string& d, int s) override {
    return inner_.ShellExecute(o, v, f, p, d, s);
  }
  bool StartedProgramEnded() override { return inner_.StartedProgramEnded(); }
  std::optional<std::uint32_t> StartedProgramExitCode() override { return inner_.StartedProgramExitCode(); }
  void LeaveBehind(WindowHandle w) override { inner_.LeaveBehind(w); }
  void ProcessPendingMessages() override { inner_.ProcessPendingMessages(); }
  void WaitForMessages(int ms) override { inner_.WaitForMessages(ms); }
  ScreenSize ScreenSizeInPixels() override { return inner_.ScreenSizeInPixels(); }
  double SecondsSinceMidnight() override { return inner_.SecondsSinceMidnight(); }
  double MonotonicSeconds() override { return inner_.MonotonicSeconds(); }

 private:
  WindowSystem& inner_;
};

// The median of per-send times over batches of sends.
template <typename Send>
double MedianMicroseconds(int sends, Send send) {
  constexpr int Batches = 9;
  std::vector<double> perSend;
  for (int b = 0; b < Batches; ++b) {
    const auto start = Clock::now();
    for (int k = 0; k < sends / Batches; ++k) send();
    perSend.push_back(MicrosecondsSince(start) / (sends / Batches));
  }
  std::sort(perSend.begin(), perSend.end());
  return perSend[perSend.size() / 2];
}

bool BareRoundTrips(int sends) {
  Win32WindowSystem windows;
  if (windows.ShellExecute(NoWindow, "open", ProgramFile().string(), "--target", "", SW_SHOWNORMAL) <= 32) {
    std::printf("the timing target could not be started\n");
    return false;
  }
  WindowHandle target = NoWindow;
  for (const auto deadline = Clock::now() + std::chrono::seconds(30); target == NoWindow && Clock::now() < deadline;) {
    target = windows.FindWindow("TessilTimingTarget", std::nullopt);
    Sleep(10);
  }
  if (target == NoWindow) {
    std::printf("the timing target showed no window\n");
    return false;
  }
  const HWND h = reinterpret_cast<HWND>(static_cast<INT_PTR>(static_cast<std::int32_t>(target)));
  const double bare = MedianMicroseconds(sends, [h] { SendMessageA(h, WM_GETTEXTLENGTH, 0, 0); });
  const double through = MedianMicroseconds(sends, [&] { windows.SendMessage(target, WM_GETTEXTLENGTH, 0, 0); });
  const double reads = MedianMicroseconds(sends, [&] {
    char buffer[64];
    windows.SendBufferMessage(target, WM_GETTEXT, sizeof buffer, buffer);
  });
  std::printf("cross-process round trip, WM_GETTEXTLENGTH, SendMessageA from this thread: %8.1f us\n", bare);
  std::printf("cross-process round trip, WM_GETTEXTLENGTH, Win32WindowSystem::SendMessage: %6.1f us\n", through);
  std::printf("cross-process round trip, WM_GETTEXT, Win32WindowSystem::SendBufferMessage: %6.1f us\n", reads);
  const double shift = MedianMicroseconds(sends, [&] { windows.IsKeyDownFor(target, VK_SHIFT); });
  std::printf("the other thread's Shift key read, Win32WindowSystem::IsKeyDownFor: %14.1f us\n", shift);
  windows.PostMessage(target, WM_CLOSE, 0, 0);
  return true;
}

// Testable matrices of the given size from the engine's generator.
std::vector<PresenceAbsenceMatrix> Matrices(std::int32_t size, std::size_t count) {
  const OccupancyMatrix p = BuildOccupancyMatrix(2, size, size);
  const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
  RandomStream stream;
  SeedRandomStream(stream, 1);
  std::vector<PresenceAbsenceMatrix> matrices;
  while (matrices.size() < count) {
    GeneratedMatrix g = GenerateMatrix(p, c, 0.0, stream);
    if (g.OccupiedSpecies >= 2) matrices.push_back(std::move(g.Matrix));
  }
  return matrices;
}

void MatrixEntry(const std::filesystem::path& folder, std::int32_t size, std::size_t count, bool wholeMatrix) {
  Win32WindowSystem win32;
  CountingWindowSystem windows(win32);
  RunSettings settings;
  FixedRunInputs inputs;
  inputs.Rows = inputs.Cols = std::to_string(size);
  // After a failure the remaining waits give up, as after Cancel.
  bool failed = false;
  WindowProtocolEcoSim ecosim(windows, settings, inputs, nullptr, {}, folder, [&failed] { return failed; });
  ecosim.PrepareEcoSim();
  const std::vector<PresenceAbsenceMatrix> matrices = Matrices(size, count);
  std::vector<double> perMatrix;
  long sends = 0;
  long posts = 0;
  for (const PresenceAbsenceMatrix& m : matrices) {
    windows.Sends = windows.Posts = 0;
    const auto start = Clock::now();
    ecosim.EnterMatrix(m);
    perMatrix.push_back(MicrosecondsSince(start));
    sends += windows.Sends;
    posts += windows.Posts;
  }
  std::sort(perMatrix.begin(), perMatrix.end());
  const double median = perMatrix[perMatrix.size() / 2];
  const double cells = static_cast<double>(size) * size;
  std::printf(
      "EnterMatrix %dx%d (%zu matrices): %9.1f ms per matrix, %7.1f us per cell, %.2f sends and %.2f posts "
      "per cell\n",
      size, size, matrices.size(), median / 1000.0, median / cells,
      static_cast<double>(sends) / (cells * static_cast<double>(matrices.size())),
      static_cast<double>(posts) / (cells * static_cast<double>(matrices.size())));
  if (wholeMatrix) try {
      std::vector<double> whole;
      for (const PresenceAbsenceMatrix& m : matrices) {
        const auto start = Clock::now();
        ecosim.EnterMatrix(m);
        ecosim.OpenCooccurrenceOptions();
        if (ecosim.RunCooccurrenceTest(0) == ResultsShown) {
          ecosim.ReadPValue(0);
          ecosim.CloseCooccurrenceResults();
        }
        whole.push_back(MicrosecondsSince(start));
      }
      std::sort(whole.begin(), whole.end());
      std::printf("one whole matrix %dx%d (entry, options, test, p-value, results closed): %.1f ms\n", size, size,
                  whole[whole.size() / 2] / 1000.0);
    } catch (const std::exception& e) {
      std::printf("one whole matrix %dx%d: not timed, the run failed: %s\n", size, size, e.what());
      failed = true;
    }
  // Closing EcoSim is not timed: its waits are bounded as after Cancel, and
  // an EcoSim that will not close is ended.
  failed = true;
  ecosim.ReleaseEcoSim();
}

}  // namespace
}  // namespace tessil

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--target") return tessil::RunTarget();
  const int sends = argc > 1 ? std::max(9, std::atoi(argv[1])) : 4500;
  if (!tessil::BareRoundTrips(sends)) return 1;
  const std::filesystem::path folder = tessil::ProgramFile().parent_path();
  if (!std::filesystem::exists(folder / "EcoSim" / "EcoSim700.exe")) {
    std::printf("no EcoSim\\EcoSim700.exe beside this program: the protocol is not timed\n");
    return 0;
  }
  tessil::MatrixEntry(folder, 50, 3, false);
  tessil::MatrixEntry(folder, 10, 9, true);
  return 0;
}
