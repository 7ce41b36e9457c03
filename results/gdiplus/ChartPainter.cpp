// The chart's primitives drawn with GDI+.
#include "ChartPainter.h"

#include "SvgDrawing.h"

// GDI+'s headers use COM's IStream, which WIN32_LEAN_AND_MEAN leaves out of
// <windows.h>.
#include <objidl.h>
// Keep <objidl.h> above.
#include <gdiplus.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <variant>
#include <vector>

namespace tessil::gdiplus {

namespace {

namespace gp = Gdiplus;

// GDI+ is started once, the first time a chart is drawn, and stays started
// until the process ends: its generic font families are cached across calls
// and would outlive a shutdown.
bool GdiplusStarted() {
  static const bool started = [] {
    ULONG_PTR token = 0;
    const gp::GdiplusStartupInput input;
    return gp::GdiplusStartup(&token, &input, nullptr) == gp::Ok;
  }();
  return started;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(std::max(size, 0)), L'\0');
  if (size > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(std::max(size, 0)), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  }
  return out;
}

// The face of message boxes as the system names it ("Segoe UI"; under Wine
// "MS Shell Dlg"), and the face GDI's font mapper realises it with, which
// exists on this machine whatever the name ("Segoe UI"; under Wine whatever
// face stands in for Tahoma). Empty where the system does not say.
std::vector<std::wstring> MessageFontFaces() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0) == FALSE) return {};
  std::vector<std::wstring> faces;
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  if (dc != nullptr && font != nullptr) {
    HGDIOBJ previous = SelectObject(dc, font);
    std::array<wchar_t, LF_FACESIZE> realised{};
    if (GetTextFaceW(dc, static_cast<int>(realised.size()), realised.data()) > 0) faces.emplace_back(realised.data());
    SelectObject(dc, previous);
  }
  if (font != nullptr) DeleteObject(font);
  if (dc != nullptr) DeleteDC(dc);
  faces.emplace_back(metrics.lfMessageFont.lfFaceName);
  return faces;
}

// The family text is drawn in: the message font's where GDI+ can make it,
// else GDI+'s generic sans-serif family, else the first family installed.
// GDI+ draws no text at all in a family it cannot make, so no face is named
// here that a machine may lack. Null only on a machine without fonts.
std::unique_ptr<gp::FontFamily> TextFamily() {
  for (const std::wstring& face : MessageFontFaces()) {
    if (face.empty()) continue;
    auto family = std::make_unique<gp::FontFamily>(face.c_str());
    if (family->GetLastStatus() == gp::Ok && family->IsAvailable() != FALSE) return family;
  }
  const gp::FontFamily* generic = gp::FontFamily::GenericSansSerif();
  if (generic != nullptr && generic->IsAvailable() != FALSE) return std::unique_ptr<gp::FontFamily>(generic->Clone());
  const gp::InstalledFontCollection installed;
  auto first = std::make_unique<gp::FontFamily>();
  INT found = 0;
  if (installed.GetFamilyCount() > 0 && installed.GetFamilies(1, first.get(), &found) == gp::Ok && found == 1) {
    return first;
  }
  return nullptr;
}

gp::Color ColorOf(const chart::Colour& colour) { return {255, colour.Red, colour.Green, colour.Blue}; }

float F(double value) { return static_cast<float>(value); }
float F(const chart::Coord& coord) { return static_cast<float>(coord.Value); }
gp::PointF PointOf(const chart::Point& p) { return {F(p.X), F(p.Y)}; }

// A pen as the SVG strokes it: dash lengths in pixels (GDI+ counts them in
// pen widths), flat ends.
std::unique_ptr<gp::Pen> PenOf(const chart::Pen& stroke) {
  auto pen = std::make_unique<gp::Pen>(ColorOf(stroke.Ink), F(stroke.Width));
  if (!stroke.Dashes.empty() && stroke.Width > 0) {
    std::vector<gp::REAL> dashes;
    for (const double length : stroke.Dashes) dashes.push_back(F(length / stroke.Width));
    pen->SetDashPattern(dashes.data(), static_cast<INT>(dashes.size()));
  }
  return pen;
}

class Painter {
 public:
  Painter(gp::Graphics& graphics, const gp::FontFamily* family) : graphics_(graphics), family_(family) {}

  void operator()(const chart::Line& line) {
    const auto pen = PenOf(line.Stroke);
    graphics_.DrawLine(pen.get(), PointOf(line.From), PointOf(line.To));
  }

  void operator()(const chart::Polyline& polyline) {
    if (polyline.Points.size() < 2) return;
    std::vector<gp::PointF> points;
    for (const chart::Point& p : polyline.Points) points.push_back(PointOf(p));
    const auto pen = PenOf(polyline.Stroke);
    pen->SetLineJoin(gp::LineJoinRound);
    graphics_.DrawLines(pen.get(), points.data(), static_cast<INT>(points.size()));
  }

  void operator()(const chart::Box& box) {
    const gp::RectF rect(F(box.Corner.X), F(box.Corner.Y), F(box.Width), F(box.Height));
    const gp::SolidBrush brush(ColorOf(box.Fill));
    graphics_.FillRectangle(&brush, rect);
    if (box.Outline) {
      gp::Pen pen(ColorOf(*box.Outline), F(box.OutlineWidth.value_or(1.0)));
      graphics_.DrawRectangle(&pen, rect);
    }
  }

  void operator()(const chart::Mark& mark) {
    const float x = F(mark.Centre.X);
    const float y = F(mark.Centre.Y);
    const gp::SolidBrush brush(ColorOf(mark.Fill));
    const std::unique_ptr<gp::Pen> pen = mark.Outline ? PenOf(*mark.Outline) : nullptr;
    switch (mark.Form) {
      case chart::Shape::Circle: {
        const float r = F(chart::MarkRadius);
        graphics_.FillEllipse(&brush, x - r, y - r, 2 * r, 2 * r);
        if (pen) graphics_.DrawEllipse(pen.get(), x - r, y - r, 2 * r, 2 * r);
        return;
      }
      case chart::Shape::Square: {
        const float h = F(chart::MarkHalfSide);
        graphics_.FillRectangle(&brush, x - h, y - h, 2 * h, 2 * h);
        if (pen) graphics_.DrawRectangle(pen.get(), x - h, y - h, 2 * h, 2 * h);
        return;
      }
      default: {
        std::vector<gp::PointF> corners;
        for (const auto& [dx, dy] : chart::MarkCorners(mark.Form)) corners.emplace_back(x + F(dx), y + F(dy));
        graphics_.FillPolygon(&brush, corners.data(), static_cast<INT>(corners.size()));
        if (pen) graphics_.DrawPolygon(pen.get(), corners.data(), static_cast<INT>(corners.size()));
      }
    }
  }

  void operator()(const chart::Text& text) {
    if (family_ == nullptr || text.Content.empty()) return;
    const INT style = text.Bold ? gp::FontStyleBold : gp::FontStyleRegular;
    const gp::Font font(family_, F(text.Size), style, gp::UnitPixel);
    // The primitive gives the baseline; GDI+ places a line by its top.
    const float ascent = F(text.Size) * static_cast<float>(family_->GetCellAscent(style)) /
                         static_cast<float>(std::max<UINT16>(1, family_->GetEmHeight(style)));
    gp::StringFormat format(gp::StringFormat::GenericTypographic());
    format.SetFormatFlags(format.GetFormatFlags() | gp::StringFormatFlagsNoWrap |
                          gp::StringFormatFlagsMeasureTrailingSpaces);
    format.SetAlignment(text.Align == chart::Anchor::Middle ? gp::StringAlignmentCenter
                        : text.Align == chart::Anchor::End  ? gp::StringAlignmentFar
                                                            : gp::StringAlignmentNear);
    const gp::SolidBrush brush(ColorOf(text.Ink.value_or(chart::Colour{})));
    const gp::GraphicsState state = graphics_.Save();
    graphics_.TranslateTransform(F(text.At.X), F(text.At.Y));
    if (text.Rotation != 0.0) graphics_.RotateTransform(F(text.Rotation));
    const std::wstring content = Wide(text.Content);
    graphics_.DrawString(content.c_str(), static_cast<INT>(content.size()), &font, gp::PointF(0, -ascent), &format,
                         &brush);
    graphics_.Restore(state);
  }

  void operator()(const chart::GroupStart& /*start*/) {}
  void operator()(const chart::GroupEnd& /*end*/) {}

 private:
  gp::Graphics& graphics_;
  const gp::FontFamily* family_;
};

// Draws the chart into the area (in the graphics' pixels), scaled to fit and
// centred, on white.
bool Paint(gp::Graphics& graphics, const gp::RectF& area, const chart::Chart& chart) {
  if (chart.Width <= 0 || chart.Height <= 0) return false;
  const gp::SolidBrush white(gp::Color(255, 255, 255, 255));
  graphics.FillRectangle(&white, area);
  const float scale =
      std::min(area.Width / static_cast<float>(chart.Width), area.Height / static_cast<float>(chart.Height));
  if (!(scale > 0)) return true;
  graphics.SetPageUnit(gp::UnitPixel);
  graphics.SetSmoothingMode(gp::SmoothingModeAntiAlias);
  graphics.SetTextRenderingHint(gp::TextRenderingHintAntiAliasGridFit);
  graphics.TranslateTransform(area.X + (area.Width - scale * static_cast<float>(chart.Width)) / 2,
                              area.Y + (area.Height - scale * static_cast<float>(chart.Height)) / 2);
  graphics.ScaleTransform(scale, scale);
  const std::unique_ptr<gp::FontFamily> family = TextFamily();
  Painter painter(graphics, family.get());
  for (const chart::Primitive& item : chart.Items) std::visit(painter, item);
  return graphics.GetLastStatus() == gp::Ok;
}

std::optional<CLSID> PngEncoder() {
  UINT count = 0;
  UINT bytes = 0;
  if (gp::GetImageEncodersSize(&count, &bytes) != gp::Ok || bytes == 0) return std::nullopt;
  std::vector<std::uint64_t> storage((bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
  auto* codecs = reinterpret_cast<gp::ImageCodecInfo*>(storage.data());
  if (gp::GetImageEncoders(count, bytes, codecs) != gp::Ok) return std::nullopt;
  for (UINT k = 0; k < count; ++k) {
    if (codecs[k].MimeType != nullptr && std::wstring(codecs[k].MimeType) == L"image/png") return codecs[k].Clsid;
  }
  return std::nullopt;
}

// Why Windows refused, in words.
std::string ReasonOf(DWORD error) {
  switch (error) {
    case ERROR_PATH_NOT_FOUND:
      return "the folder does not exist";
    case ERROR_ACCESS_DENIED:
      return "access is denied";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "the disk is full";
    default:
      break;
  }
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() &&
         (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.' || message.back() == L' ')) {
    message.pop_back();
  }
  if (message.empty()) return "Windows error " + std::to_string(error);
  return Narrow(message);
}

}  // namespace

bool DrawChart(HDC dc, const RECT& area, const chart::Chart& chart) {
  if (!GdiplusStarted()) return false;
  gp::Graphics graphics(dc);
  if (graphics.GetLastStatus() != gp::Ok) return false;
  return Paint(graphics,
               gp::RectF(static_cast<float>(area.left), static_cast<float>(area.top),
                         static_cast<float>(area.right - area.left), static_cast<float>(area.bottom - area.top)),
               chart);
}

bool EncodeChartPng(const chart::Chart& chart, int width, int height, std::string& png, std::string& reason) {
  if (width <= 0 || height <= 0) {
    width = chart.Width;
    height = chart.Height;
  }
  if (!GdiplusStarted()) {
    reason = "GDI+ could not be started";
    return false;
  }
  const std::optional<CLSID> encoder = PngEncoder();
  if (!encoder) {
    reason = "GDI+ has no PNG encoder";
    return false;
  }
  gp::Bitmap bitmap(width, height, PixelFormat32bppARGB);
  if (bitmap.GetLastStatus() != gp::Ok) {
    reason = "there is not enough memory for a picture of " + std::to_string(width) + " x " + std::to_string(height) +
             " pixels";
    return false;
  }
  {
    gp::Graphics graphics(&bitmap);
    if (!Paint(graphics, gp::RectF(0, 0, static_cast<float>(width), static_cast<float>(height)), chart)) {
      reason = "the chart could not be drawn";
      return false;
    }
  }
  IStream* stream = nullptr;
  if (CreateStreamOnHGlobal(nullptr, TRUE, &stream) != S_OK || stream == nullptr) {
    reason = "there is not enough memory for the PNG picture";
    return false;
  }
  bool encoded = bitmap.Save(stream, &*encoder, nullptr) == gp::Ok;
  ULARGE_INTEGER size{};
  LARGE_INTEGER origin{};
  encoded = encoded && stream->Seek(origin, STREAM_SEEK_END, &size) == S_OK &&
            stream->Seek(origin, STREAM_SEEK_SET, nullptr) == S_OK;
  if (encoded) {
    png.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    ULONG read = 0;
    encoded = stream->Read(png.data(), static_cast<ULONG>(png.size()), &read) == S_OK && read == png.size();
  }
  stream->Release();
  if (!encoded) reason = "the picture could not be encoded as PNG";
  return encoded;
}

namespace {

// Writes the bytes to a new file beside the path and renames it over the
// path once they are on disk; on failure removes the new file and says why.
bool ReplaceFileWith(const std::wstring& path, const std::string& bytes, std::string& reason) {
  const std::wstring partial = path + L".partial-" + std::to_wstring(GetCurrentProcessId());
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    reason = ReasonOf(GetLastError());
    return false;
  }
  std::size_t written = 0;
  DWORD failure = ERROR_SUCCESS;
  while (written < bytes.size() && failure == ERROR_SUCCESS) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1U << 20U));
    DWORD done = 0;
    if (WriteFile(file, bytes.data() + written, chunk, &done, nullptr) == FALSE || done == 0) {
      failure = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
    }
    written += done;
  }
  if (failure == ERROR_SUCCESS && FlushFileBuffers(file) == FALSE) failure = GetLastError();
  if (CloseHandle(file) == FALSE && failure == ERROR_SUCCESS) failure = GetLastError();
  if (failure == ERROR_SUCCESS &&
      MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == FALSE) {
    failure = GetLastError();
  }
  if (failure != ERROR_SUCCESS) {
    DeleteFileW(partial.c_str());
    reason = ReasonOf(failure);
    return false;
  }
  return true;
}

}  // namespace

bool WriteChartPng(const chart::Chart& chart, int width, int height, const std::wstring& path, std::string& reason) {
  std::string png;
  return EncodeChartPng(chart, width, height, png, reason) && ReplaceFileWith(path, png, reason);
}

bool WriteChartSvg(const chart::Chart& chart, const std::wstring& path, std::string& reason) {
  return ReplaceFileWith(path, svg::Document(chart), reason);
}

std::wstring ChartFontFace() {
  if (!GdiplusStarted()) return {};
  const std::unique_ptr<gp::FontFamily> family = TextFamily();
  if (!family) return {};
  std::array<WCHAR, LF_FACESIZE> name{};
  family->GetFamilyName(name.data());
  return name.data();
}

}  // namespace tessil::gdiplus
