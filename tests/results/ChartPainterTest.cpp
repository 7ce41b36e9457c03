// The GDI+ painter under Wine: every chart's title draws ink where its
// primitive puts it, marks land at their places, and PNG pictures are
// written whole or not at all.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <variant>
#include <vector>

#include "ChartPainter.h"
#include "PowerChart.h"
#include "SvgDrawing.h"
#include "SweepChart.h"

namespace tessil {
namespace {

// The chart painted through a device context into 32-bit pixels, top row
// first, as a window's WM_PAINT would paint it.
struct Pixels {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Bgr;  // 0x00rrggbb
  std::uint32_t At(int x, int y) const {
    return Bgr[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)] & 0xffffffU;
  }
};

Pixels Painted(const chart::Chart& chart) {
  Pixels out{chart.Width, chart.Height, {}};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = chart.Width;
  info.bmiHeader.biHeight = -chart.Height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dc == nullptr || bitmap == nullptr || bits == nullptr) {
    ADD_FAILURE() << "no bitmap to paint into";
    return out;
  }
  HGDIOBJ previous = SelectObject(dc, bitmap);
  const RECT area{0, 0, chart.Width, chart.Height};
  EXPECT_TRUE(gdiplus::DrawChart(dc, area, chart));
  GdiFlush();
  const auto* first = static_cast<const std::uint32_t*>(bits);
  out.Bgr.assign(first, first + static_cast<std::size_t>(chart.Width) * static_cast<std::size_t>(chart.Height));
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return out;
}

PowerTable SomeTable() {
  PowerTable table;
  for (int s = 1; s <= 4; ++s) {
    for (int l = 1; l <= 3; ++l) table.push_back({l, s, l == 1, 0.05 * s * l, 100, 5 * s * l, 0});
  }
  return table;
}

TEST(ChartPainter, EveryTitleLineDrawsInkAndMarksLandAtTheirPlaces) {
  NullDistributionPicture null;
  null.Title = "C-score";
  null.IndexName = "C-score";
  for (int k = 0; k < 200; ++k) null.Values.push_back(k % 17);
  null.PLower = "0.50000";
  null.PUpper = "0.50000";
  const std::vector<chart::Chart> charts = {
      PowerChart(SomeTable(), FixedRunInputs{}),
      NullDistributionChart(null),
      SweepChart({{"C-score, rows Fixed Sum", 10, 10, 0.05, 0.4, 0.9}}, "Sweep of plan 0123abcd"),
  };
  const std::wstring face = gdiplus::ChartFontFace();
  std::cout << "text face: " << std::string(face.begin(), face.end()) << "\n";
  for (const chart::Chart& chart : charts) {
    const Pixels pixels = Painted(chart);
    ASSERT_EQ(pixels.Bgr.size(), static_cast<std::size_t>(chart.Width * chart.Height));
    int titles = 0;
    for (const chart::Primitive& item : chart.Items) {
      const auto* text = std::get_if<chart::Text>(&item);
      if (text != nullptr && text->Is.Role == chart::TitleRole) {
        // The line's band, from a cap's height above the baseline to a
        // descender's depth below it, across the whole picture.
        const int top = static_cast<int>(text->At.Y.Value - text->Size);
        const int bottom = static_cast<int>(text->At.Y.Value + text->Size / 3);
        long inked = 0;
        for (int y = top; y <= bottom; ++y) {
          for (int x = 0; x < pixels.Width; ++x) inked += pixels.At(x, y) != 0xffffffU ? 1 : 0;
        }
        // Several pixels per letter; an empty band means no text was drawn.
        EXPECT_GT(inked, static_cast<long>(3 * text->Content.size())) << chart.Title << ": " << text->Content;
        ++titles;
      }
      const auto* mark = std::get_if<chart::Mark>(&item);
      if (mark != nullptr && !mark->Outline) {
        const chart::Colour c = mark->Fill;
        const auto expected = static_cast<std::uint32_t>(c.Red << 16U | c.Green << 8U | c.Blue);
        EXPECT_EQ(pixels.At(static_cast<int>(mark->Centre.X.Value), static_cast<int>(mark->Centre.Y.Value)), expected)
            << chart.Title << ": " << mark->Is.Role;
      }
    }
    EXPECT_GT(titles, 0) << chart.Title;
  }
}

std::wstring ScratchFolder() {
  std::wstring folder(MAX_PATH + 1, L'\0');
  folder.resize(GetTempPathW(MAX_PATH + 1, folder.data()));
  folder += L"tessil-chart-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::string Bytes(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::uint32_t BigEndian(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t k = 0; k < 4; ++k) value = value << 8U | static_cast<unsigned char>(bytes[at + k]);
  return value;
}

TEST(ChartPainter, PngPicturesAreWrittenWholeOrNotAtAll) {
  const std::wstring folder = ScratchFolder();
  const std::wstring path = folder + L"\\power \u00e9t\u00e9.png";
  const chart::Chart chart = PowerChart(SomeTable(), FixedRunInputs{});
  std::string reason;
  ASSERT_TRUE(gdiplus::WriteChartPng(chart, 2 * chart.Width, 2 * chart.Height, path, reason)) << reason;
  const std::string first = Bytes(path);
  ASSERT_GT(first.size(), 24U);
  EXPECT_EQ(first.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(BigEndian(first, 16), static_cast<std::uint32_t>(2 * chart.Width));
  EXPECT_EQ(BigEndian(first, 20), static_cast<std::uint32_t>(2 * chart.Height));

  // Written again smaller: the old picture is replaced whole.
  ASSERT_TRUE(gdiplus::WriteChartPng(chart, 0, 0, path, reason)) << reason;
  EXPECT_EQ(BigEndian(Bytes(path), 16), static_cast<std::uint32_t>(chart.Width));

  // The SVG beside it, the very text every other front end writes.
  const std::wstring svgPath = folder + L"\\power.svg";
  ASSERT_TRUE(gdiplus::WriteChartSvg(chart, svgPath, reason)) << reason;
  EXPECT_EQ(Bytes(svgPath), svg::Document(chart));
  DeleteFileW(svgPath.c_str());

  // Into a folder that does not exist: refused with the reason, nothing left.
  const std::wstring missing = folder + L"\\missing\\power.png";
  reason.clear();
  EXPECT_FALSE(gdiplus::WriteChartPng(chart, 0, 0, missing, reason));
  EXPECT_EQ(reason, "the folder does not exist");

  // Only the picture is left in the folder: no partial file beside it.
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  std::vector<std::wstring> names;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (found.cFileName[0] != L'.') names.emplace_back(found.cFileName);
    } while (FindNextFileW(search, &found) != FALSE);
    FindClose(search);
  }
  EXPECT_EQ(names, std::vector<std::wstring>{L"power \u00e9t\u00e9.png"});
  DeleteFileW(path.c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace tessil
