#include "StringGrid.h"

#include <QPainter>
#include <algorithm>

#include "QtWindows.h"

namespace tessil::standin {

StringGrid::StringGrid(qtwin::WindowRegistry& windows, QWidget* parent) : QWidget(parent), windows_(windows) {
  Resize(5, 5);
}

void StringGrid::Resize(int rows, int cols) {
  cells_.Resize(rows, cols);
  if (editor_ != nullptr) qtwin::SetShown(windows_, editor_, false);
  update();
}

void StringGrid::Type(char c) {
  if (editor_ == nullptr) {
    editor_ = new QLineEdit(this);
    editor_->setFrame(false);
    editor_->hide();
    qtwin::MakeWindow(windows_, editor_, "TInplaceEdit", "");
  }
  const std::string text = cells_.Type(c, qtwin::TextOf(windows_, editor_));
  qtwin::SetText(windows_, editor_, text);
  qtwin::SetShown(windows_, editor_, true);
  // Drawn only while EcoSim's window is on the screen.
  if (window()->isVisible()) {
    editor_->setGeometry(CellRect(CurrentRow(), CurrentCol()));
    editor_->show();
  }
}

void StringGrid::Tab() {
  if (cells_.Editing()) {
    cells_.Tab(qtwin::TextOf(windows_, editor_));
    if (editor_->isVisible()) editor_->hide();
    qtwin::SetShown(windows_, editor_, false);
  } else {
    cells_.Tab({});
  }
  update();
}

QRect StringGrid::CellRect(int row, int col) const {
  const int w = std::max(1, width() / std::max(1, Cols()));
  const int h = std::max(1, height() / std::max(1, Rows()));
  return QRect(col * w, row * h, w, h);
}

void StringGrid::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  for (int i = 0; i < Rows(); ++i) {
    for (int j = 0; j < Cols(); ++j) {
      const QRect cell = CellRect(i, j);
      if (i == CurrentRow() && j == CurrentCol()) painter.fillRect(cell, palette().highlight());
      painter.drawRect(cell.adjusted(0, 0, -1, -1));
      painter.drawText(cell, Qt::AlignCenter, QString::fromStdString(Cell(i, j)));
    }
  }
}

}  // namespace tessil::standin
