// One QApplication for a whole widget test program, on Qt's offscreen
// platform unless one is chosen. Hosted programs live in each test's own
// window world and end with it.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace tessil::testing {

class QtTestApplication final : public ::testing::Environment {
 public:
  void SetUp() override {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    app_ = std::make_unique<QApplication>(argc_, argv_);
    // The offscreen platform says so each time a window would be raised.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
      if (type == QtFatalMsg || !text.contains(QLatin1String("does not support"))) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
      }
      if (type == QtFatalMsg) std::abort();
    });
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[8] = "tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment* const QtEnvironment = ::testing::AddGlobalTestEnvironment(new QtTestApplication);

}  // namespace tessil::testing
