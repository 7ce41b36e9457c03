// The stand-in EcoSim's matrix grid ("TStringGrid"): cells typed one
// character at a time through an in-place editor, Tab committing the cell
// and moving to the next in row order, from the last back to the first.
#pragma once

#include <QLineEdit>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "StandInLogic.h"
#include "WindowRegistry.h"

namespace tessil::standin {

class StringGrid final : public QWidget {
 public:
  // The in-place editor becomes a window of `windows`.
  StringGrid(qtwin::WindowRegistry& windows, QWidget* parent);

  int Rows() const { return cells_.Rows(); }
  int Cols() const { return cells_.Cols(); }
  // Resizes to rows x cols empty cells; the first cell becomes current.
  void Resize(int rows, int cols);
  const std::string& Cell(int row, int col) const { return cells_.Cell(row, col); }
  int CurrentRow() const { return cells_.CurrentRow(); }
  int CurrentCol() const { return cells_.CurrentCol(); }
  const GridCells& Cells() const { return cells_; }

  // A character typed into the grid: it opens the current cell's in-place
  // editor with that text, or adds to the text being edited. The editor is
  // made a window ("TInplaceEdit", a child of the grid) when first needed.
  void Type(char c);
  // Tab: commits the editor's text to the current cell and moves on.
  void Tab();
  QLineEdit* Editor() const { return editor_; }
  // Cells drawn since the grid was made: typing costs a few cells each,
  // whatever the size of the matrix.
  std::int64_t CellsPainted() const { return cellsPainted_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect CellRect(int row, int col) const;
  // Asks for the current cell to be drawn again, and nothing else.
  void UpdateCurrentCell();
  static const std::string& EditorText(const qtwin::WindowEntry* editor);

  qtwin::WindowRegistry& windows_;

  GridCells cells_;
  QLineEdit* editor_ = nullptr;
  WindowHandle editorWindow_ = NoWindow;
  std::int64_t cellsPainted_ = 0;
};

}  // namespace tessil::standin
