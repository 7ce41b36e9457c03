#include "StringGrid.h"

#include <QPainter>
#include <algorithm>

#include "QtWindows.h"

namespace tessil::standin {

StringGrid::StringGrid(qtwin::WindowRegistry& windows, QWidget* parent) : QWidget(parent), windows_(windows) {
  Resize(5, 5);
}

void StringGrid::Resize(int rows, int cols) {
  rows_ = rows;
  cols_ = cols;
  cells_.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols), std::string());
  row_ = 0;
  col_ = 0;
  editing_ = false;
  if (editor_ != nullptr) qtwin::SetShown(windows_, editor_, false);
  update();
}

const std::string& StringGrid::Cell(int row, int col) const {
  return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) + static_cast<std::size_t>(col)];
}

void StringGrid::Type(char c) {
  if (editor_ == nullptr) {
    editor_ = new QLineEdit(this);
    editor_->setFrame(false);
    editor_->hide();
    qtwin::MakeWindow(windows_, editor_, "TInplaceEdit", "");
  }
  const std::string text = editing_ ? qtwin::TextOf(windows_, editor_) + c : std::string(1, c);
  editing_ = true;
  qtwin::SetText(windows_, editor_, text);
  qtwin::SetShown(windows_, editor_, true);
  // Drawn only while EcoSim's window is on the screen.
  if (window()->isVisible()) {
    editor_->setGeometry(CellRect(row_, col_));
    editor_->show();
  }
}

void StringGrid::Tab() {
  if (editing_) {
    cells_[static_cast<std::size_t>(row_) * static_cast<std::size_t>(cols_) + static_cast<std::size_t>(col_)] =
        qtwin::TextOf(windows_, editor_);
    editing_ = false;
    if (editor_->isVisible()) editor_->hide();
    qtwin::SetShown(windows_, editor_, false);
  }
  if (++col_ == cols_) {
    col_ = 0;
    if (++row_ == rows_) row_ = 0;
  }
  update();
}

QRect StringGrid::CellRect(int row, int col) const {
  const int w = std::max(1, width() / std::max(1, cols_));
  const int h = std::max(1, height() / std::max(1, rows_));
  return QRect(col * w, row * h, w, h);
}

void StringGrid::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  for (int i = 0; i < rows_; ++i) {
    for (int j = 0; j < cols_; ++j) {
      const QRect cell = CellRect(i, j);
      if (i == row_ && j == col_) painter.fillRect(cell, palette().highlight());
      painter.drawRect(cell.adjusted(0, 0, -1, -1));
      painter.drawText(cell, Qt::AlignCenter, QString::fromStdString(Cell(i, j)));
    }
  }
}

}  // namespace tessil::standin
