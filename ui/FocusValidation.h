// Text boxes whose value is checked before the focus may leave them. A box
// holding a refused value keeps the focus until it is corrected: leaving it
// by the keyboard brings the focus straight back, and a click on another
// control of the window shows the refusal again and does nothing else.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

class QLineEdit;
class QWidget;

namespace tessil {

class FocusValidation final : public QObject {
 public:
  // Checks the box's text: on acceptance it writes the text back as it should
  // read and returns an empty text; otherwise it returns the refusal, which
  // is told to the user once the focus is back in the box.
  using Check = std::function<QString()>;
  using Tell = std::function<void(const QString& refusal)>;

  // The window owns the validation; tell shows a refusal to the user.
  FocusValidation(QWidget* window, Tell tell);
  ~FocusValidation() override;

  // Checks the box whenever the focus is about to leave it, and selects its
  // whole text whenever it receives the focus.
  void Watch(QLineEdit* box, Check check);

  // Checks the box that holds the focus, as leaving it would. True when no
  // watched box holds the focus or its value is accepted. Buttons that act
  // without taking the focus (a default button, a shortcut) call this first.
  bool ReleaseFocus();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Watched {
    QPointer<QLineEdit> Box;
    Check Verify;
    bool Focused = false;  // received the focus and has not yet given it up
  };
  Watched* Find(const QObject* box);
  Watched* Focused();
  // Checks the box; on refusal puts the focus back into it and tells why.
  bool Run(Watched& box);

  Tell tell_;
  std::vector<Watched> boxes_;
  bool checking_ = false;      // a refusal is being shown
  bool swallowPress_ = false;  // the press that tried to move the focus
};

}  // namespace tessil
