#include "StringGrid.h"

#include <QPaintEvent>
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

// The editor's text as the window system holds it; empty once its window
// is gone.
const std::string& StringGrid::EditorText(const qtwin::WindowEntry* editor) {
  static const std::string none;
  return editor == nullptr ? none : editor->Text;
}

void StringGrid::Type(char c) {
  // Whether EcoSim's window is on the screen: typing neither shows nor
  // hides it.
  const bool drawn = window()->isVisible();
  if (editor_ == nullptr) {
    editor_ = new QLineEdit(this);
    editor_->setFrame(false);
    editor_->hide();
    editorWindow_ = qtwin::MakeWindow(windows_, editor_, "TInplaceEdit", "");
  }
  // The editor's entry is found once for the character: nothing in between
  // destroys the window. A matrix is typed a character and a Tab per cell.
  qtwin::WindowEntry* editor = windows_.Find(editorWindow_);
  const std::string text = cells_.Type(c, EditorText(editor));
  if (editor != nullptr) {
    windows_.SetText(*editor, text);
    editor->Shown = true;
    windows_.UpdateMapping(*editor);
  }
  // Drawn only while EcoSim's window is on the screen.
  if (drawn) {
    const QRect cell = CellRect(CurrentRow(), CurrentCol());
    if (editor_->geometry() != cell) editor_->setGeometry(cell);
    if (!editor_->isVisible()) editor_->show();
  }
}

void StringGrid::Tab() {
  // Only the cell left and the cell entered change: a whole matrix typed
  // into a visible grid costs the same per cell whatever its size. A grid
  // off the screen is not drawn at all.
  const bool drawn = isVisible();
  if (drawn) UpdateCurrentCell();
  if (cells_.Editing()) {
    qtwin::WindowEntry* editor = windows_.Find(editorWindow_);
    cells_.Tab(EditorText(editor));
    if (editor_->isVisible()) editor_->hide();
    if (editor != nullptr) {
      editor->Shown = false;
      windows_.UpdateMapping(*editor);
    }
  } else {
    cells_.Tab({});
  }
  if (drawn) UpdateCurrentCell();
}

void StringGrid::UpdateCurrentCell() { update(CellRect(CurrentRow(), CurrentCol())); }

QRect StringGrid::CellRect(int row, int col) const {
  const int w = std::max(1, width() / std::max(1, Cols()));
  const int h = std::max(1, height() / std::max(1, Rows()));
  return QRect(col * w, row * h, w, h);
}

void StringGrid::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  // Only the cells the exposed region touches are drawn.
  const QRect exposed = event->rect();
  painter.fillRect(exposed, palette().base());
  const QRect first = CellRect(0, 0);
  const int rowFrom = std::max(0, exposed.top() / first.height());
  const int rowTo = std::min(Rows() - 1, exposed.bottom() / first.height());
  const int colFrom = std::max(0, exposed.left() / first.width());
  const int colTo = std::min(Cols() - 1, exposed.right() / first.width());
  for (int i = rowFrom; i <= rowTo; ++i) {
    for (int j = colFrom; j <= colTo; ++j) {
      const QRect cell = CellRect(i, j);
      if (!event->region().intersects(cell)) continue;
      ++cellsPainted_;
      if (i == CurrentRow() && j == CurrentCol()) painter.fillRect(cell, palette().highlight());
      painter.drawRect(cell.adjusted(0, 0, -1, -1));
      painter.drawText(cell, Qt::AlignCenter, QString::fromStdString(Cell(i, j)));
    }
  }
}

}  // namespace tessil::standin
