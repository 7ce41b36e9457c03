#include "Win32ChartView.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "ChartPainter.h"

namespace tessil::win32ui {

namespace {

constexpr wchar_t ChartClass[] = L"TessilChart";
// Pixels one press of an arrow key scrolls, at 96 dots per inch.
constexpr int LineStep = 24;

struct ChartViewState {
  ChartSource Source;
  chart::Chart Shown;
  double Scale = 1.0;  // the screen's pixels per pixel at 96 dots per inch
  int Height = 0;      // the chart's height in the screen's pixels
  int Offset = 0;      // how far it is scrolled down
  bool LayingOut = false;
};

ChartViewState* StateOf(HWND view) { return reinterpret_cast<ChartViewState*>(GetWindowLongPtrW(view, GWLP_USERDATA)); }

// The chart for the view's size: laid out for the client area as wide as it
// is without a scroll bar; when that chart is taller than the view, laid out
// again for the width that a vertical scroll bar leaves.
void LayOut(HWND view, ChartViewState& state) {
  if (!state.Source || state.LayingOut) return;
  state.LayingOut = true;
  RECT client{};
  GetClientRect(view, &client);
  const bool scrolling = (GetWindowLongPtrW(view, GWL_STYLE) & WS_VSCROLL) != 0;
  const int bar = GetSystemMetrics(SM_CXVSCROLL);
  const int width = client.right + (scrolling ? bar : 0);
  const int height = client.bottom;
  state.Scale = ScreenDpi() / 96.0;
  auto room = [&](int pixelsWide) {
    return chart::ChartSize{static_cast<int>(std::lround(pixelsWide / state.Scale)),
                            static_cast<int>(std::lround(height / state.Scale))};
  };
  state.Shown = state.Source(room(width));
  if (std::lround(state.Shown.Height * state.Scale) > height) state.Shown = state.Source(room(width - bar));
  state.Height = static_cast<int>(std::lround(state.Shown.Height * state.Scale));
  state.Offset = std::clamp(state.Offset, 0, std::max(0, state.Height - height));
  SCROLLINFO scroll{};
  scroll.cbSize = sizeof(scroll);
  scroll.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  scroll.nMin = 0;
  scroll.nMax = std::max(0, state.Height - 1);
  scroll.nPage = static_cast<UINT>(std::max(0, height));
  scroll.nPos = state.Offset;
  // Shows the bar when the chart is taller, hides it otherwise; the size
  // that changes with it comes back here and is ignored.
  SetScrollInfo(view, SB_VERT, &scroll, TRUE);
  state.LayingOut = false;
  InvalidateRect(view, nullptr, TRUE);
}

void ScrollTo(HWND view, ChartViewState& state, int offset) {
  RECT client{};
  GetClientRect(view, &client);
  offset = std::clamp(offset, 0, std::max(0, state.Height - static_cast<int>(client.bottom)));
  if (offset == state.Offset) return;
  state.Offset = offset;
  SetScrollPos(view, SB_VERT, offset, TRUE);
  InvalidateRect(view, nullptr, TRUE);
}

void Paint(HWND view, const ChartViewState* state) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(view, &paint);
  RECT area{};
  GetClientRect(view, &area);
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (state != nullptr && state->Shown.Width > 0) {
    // The chart's own size on this screen: the painter's fit is then one
    // to one.
    const RECT place{0, -state->Offset, static_cast<LONG>(std::lround(state->Shown.Width * state->Scale)),
                     state->Height - state->Offset};
    gdiplus::DrawChart(dc, place, state->Shown);
  }
  if (GetFocus() == view) {
    RECT mark = area;
    InflateRect(&mark, -1, -1);
    DrawFocusRect(dc, &mark);
  }
  EndPaint(view, &paint);
}

LRESULT CALLBACK ChartProcedure(HWND view, UINT message, WPARAM wParam, LPARAM lParam) {
  ChartViewState* state = StateOf(view);
  switch (message) {
    case WM_PAINT:
      Paint(view, state);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      if (state != nullptr) LayOut(view, *state);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(view, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(view);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_VSCROLL:
    case WM_KEYDOWN:
    case WM_MOUSEWHEEL: {
      if (state == nullptr) break;
      RECT client{};
      GetClientRect(view, &client);
      const int line = static_cast<int>(std::lround(LineStep * state->Scale));
      const int page = std::max(line, static_cast<int>(client.bottom) - line);
      int offset = state->Offset;
      if (message == WM_MOUSEWHEEL) {
        offset -= GET_WHEEL_DELTA_WPARAM(wParam) * line * 3 / WHEEL_DELTA;
      } else if (message == WM_KEYDOWN) {
        switch (wParam) {
          case VK_UP:
            offset -= line;
            break;
          case VK_DOWN:
            offset += line;
            break;
          case VK_PRIOR:
            offset -= page;
            break;
          case VK_NEXT:
            offset += page;
            break;
          case VK_HOME:
            offset = 0;
            break;
          case VK_END:
            offset = state->Height;
            break;
          default:
            return DefWindowProcW(view, message, wParam, lParam);
        }
      } else {
        SCROLLINFO scroll{};
        scroll.cbSize = sizeof(scroll);
        scroll.fMask = SIF_TRACKPOS;
        GetScrollInfo(view, SB_VERT, &scroll);
        switch (LOWORD(wParam)) {
          case SB_LINEUP:
            offset -= line;
            break;
          case SB_LINEDOWN:
            offset += line;
            break;
          case SB_PAGEUP:
            offset -= page;
            break;
          case SB_PAGEDOWN:
            offset += page;
            break;
          case SB_TOP:
            offset = 0;
            break;
          case SB_BOTTOM:
            offset = state->Height;
            break;
          case SB_THUMBTRACK:
          case SB_THUMBPOSITION:
            offset = scroll.nTrackPos;
            break;
          default:
            break;
        }
      }
      ScrollTo(view, *state, offset);
      return 0;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(view, GWLP_USERDATA, 0);
      delete state;
      break;
    default:
      break;
  }
  return DefWindowProcW(view, message, wParam, lParam);
}

}  // namespace

HWND CreateChartView(HWND parent, RECT where, int id) {
  static const ATOM registered = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &ChartProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.lpszClassName = ChartClass;
    return RegisterClassExW(&windowClass);
  }();
  (void)registered;
  HWND view = AddControl(parent, ChartClass, L"", WS_BORDER | WS_TABSTOP | WS_GROUP, where, id);
  SetWindowLongPtrW(view, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new ChartViewState));
  return view;
}

void SetChartSource(HWND view, ChartSource source) {
  ChartViewState* state = StateOf(view);
  if (state == nullptr) return;
  state->Source = std::move(source);
  state->Offset = 0;
  LayOut(view, *state);
}

}  // namespace tessil::win32ui
