// The About box: the logo, the program's name and version, and who made it.
#pragma once

#include <QDialog>

namespace tessil {

class frmAbout final : public QDialog {
  Q_OBJECT
 public:
  explicit frmAbout(QWidget* owner);
  ~frmAbout() override;

  // Shows the box modal over its owner and centred on it; Close destroys it.
  void Open();

 private:
  QWidget* owner_;
};

}  // namespace tessil
