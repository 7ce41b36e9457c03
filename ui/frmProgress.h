// The progress window of a run: how many matrices have been started out of
// how many, a bar and the percentage in the title, the time remaining, a
// Cancel button and the "Show EcoSim" box. The Run handler creates, shows,
// hides and destroys it; the driver advances the counter and calls
// UpdateProgress; EcoSim's start-up enables the box.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "AutomationHost.h"
#include "Clock.h"
#include "EcoSimAutomation.h"
#include "ProgressRules.h"
#include "Public_Declarations.h"

namespace tessil {

class MessageBoxes;

// A box that shows one line of text over its background picture; every
// print replaces what was there.
class TextPicture final : public QWidget {
 public:
  TextPicture(QWidget* parent, const QString& name);
  void Clear();
  void Print(const QString& text);
  QString Text() const { return text_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QString text_;
  QPixmap picture_;
};

// The progress bar: its inner width counts the run's total, and the part up
// to the matrices done is filled navy blue.
class BarPicture final : public QWidget {
 public:
  explicit BarPicture(QWidget* parent);
  void Clear();
  void Fill(std::int64_t done, std::int64_t total);
  // The filled width in pixels of the inner area, and that area's width.
  int FilledWidth() const;
  int InnerWidth() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::int64_t done_ = 0;
  std::int64_t total_ = 0;
};

// The caption of the "Show EcoSim" box, which toggles it when clicked.
class ClickLabel final : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// The progress window's face: it draws what the progress rules decide and
// forwards its repaint, Cancel and "Show EcoSim" to them. As the run's
// progress link and EcoSim's host it passes the calls on to the rules.
class frmProgress final : public QWidget, public ProgressLink, public AutomationHost, public ProgressView {
  Q_OBJECT
 public:
  // A window with rules of its own. processPendingMessages lets the
  // program's pending events through once; the default asks the toolkit to
  // process them.
  frmProgress(RunSettings& settings, Clock& clock, MessageBoxes& boxes,
              std::function<void()> processPendingMessages = {});
  // A window over a run's rules.
  frmProgress(ProgressPresenter& rules, MessageBoxes& boxes);
  ~frmProgress() override;

  // ProgressLink
  void UpdateProgress() override { rules_.UpdateProgress(); }
  bool CancelRequested() const override { return rules_.CancelRequested(); }

  // AutomationHost
  void EnableShowEcoSim() override { rules_.EnableShowEcoSim(); }
  void ReportProgramMissing(std::string_view message) override { rules_.ReportProgramMissing(message); }

  // ProgressView
  void Draw(const ProgressState& state) override;
  void Inform(std::string_view text) override;

  // The automation whose windows "Show EcoSim" places; null when none runs.
  void AttachAutomation(EcoSimAutomation* ecosim) { rules_.AttachAutomation(ecosim); }

  // Redraws title, status line, time line and bar from the run's counters.
  // False when more matrices are done than the run has, in which case the
  // bar is left alone.
  bool Redraw() { return rules_.Redraw(); }
  // What the window does whenever it needs painting: while EcoSim is being
  // started it says so and offers Cancel; later it recomputes the estimate.
  void Repaint() { rules_.Repaint(); }
  void ProcessPendingMessages() { rules_.ProcessPendingMessages(); }

  // Closes the window at the end of a run; every other close is refused.
  void Unload();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();

  std::unique_ptr<ProgressPresenter> ownRules_;
  ProgressPresenter& rules_;
  MessageBoxes& boxes_;
  bool drawing_ = false;
  bool unloading_ = false;
  QPixmap background_;

  TextPicture* pbx2_ = nullptr;
  BarPicture* pbxProgressBar_ = nullptr;
  TextPicture* pbx1_ = nullptr;
  QCheckBox* chk1_ = nullptr;
  ClickLabel* lbl1_ = nullptr;
  QPushButton* cmd1_ = nullptr;
};

}  // namespace tessil
