#include "Win32ChartView.h"

#include "ChartPainter.h"

namespace tessil::win32ui {

namespace {

constexpr wchar_t ChartClass[] = L"TessilChart";

LRESULT CALLBACK ChartProcedure(HWND view, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(view, &paint);
    RECT area{};
    GetClientRect(view, &area);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const auto* picture = reinterpret_cast<const chart::Chart*>(GetWindowLongPtrW(view, GWLP_USERDATA));
    if (picture != nullptr) gdiplus::DrawChart(dc, area, *picture);
    EndPaint(view, &paint);
    return 0;
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
  return AddControl(parent, ChartClass, L"", WS_BORDER, where, id);
}

void SetChartPicture(HWND view, const chart::Chart* picture) {
  SetWindowLongPtrW(view, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(picture));
  InvalidateRect(view, nullptr, TRUE);
}

}  // namespace tessil::win32ui
