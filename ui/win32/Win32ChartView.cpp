#include "Win32ChartView.h"

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
    windowClass.lpszClassName = ChartClass;
    return RegisterClassExW(&windowClass);
  }();
  (void)registered;
  return AddControl(parent, ChartClass, L"", WS_BORDER, where, id);
}

void SetChartPicture(HWND view, const std::string&) { InvalidateRect(view, nullptr, TRUE); }

bool WriteChartPng(const std::wstring&, const std::string&, std::wstring* reason) {
  if (reason != nullptr) *reason = L"PNG pictures cannot be drawn yet";
  return false;
}

}  // namespace tessil::win32ui
