#include "Help_Procedures.h"

#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include "WindowPictures.h"

namespace tessil {

// A help viewer: the page, and buttons to go back, forward and to the
// contents. It has no owner, so it stays open beside the program's windows.
class HelpBrowserWindow final : public QWidget {
 public:
  explicit HelpBrowserWindow(const QUrl& home) : home_(home) {
    setObjectName(QStringLiteral("frmHelp"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Tessil Help"));
    setWindowIcon(QIcon(QPixmap::fromImage(TessilLogo())));

    auto* back = new QPushButton(QStringLiteral("Back"), this);
    auto* forward = new QPushButton(QStringLiteral("Forward"), this);
    auto* contents = new QPushButton(QStringLiteral("Contents"), this);
    back->setObjectName(QStringLiteral("cmdBack"));
    forward->setObjectName(QStringLiteral("cmdForward"));
    contents->setObjectName(QStringLiteral("cmdContents"));
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("txtPage"));
    browser_->setOpenExternalLinks(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addWidget(contents);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_, 1);

    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(contents, &QPushButton::clicked, this, [this] { browser_->setSource(home_); });
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
      const QString title = browser_->documentTitle();
      setWindowTitle(title.isEmpty() ? QStringLiteral("Tessil Help") : QStringLiteral("Tessil Help - ") + title);
    });

    resize(780, 600);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->availableGeometry();
      move(area.right() - width() - 40 > area.left() ? area.right() - width() - 40 : area.left(), area.top() + 40);
    }
  }

  void Open(const QUrl& page) { browser_->setSource(page); }
  QString Shown() const { return browser_->source().toString(); }

 private:
  QUrl home_;
  QTextBrowser* browser_ = nullptr;
};

namespace {

QUrl PageUrl(const QString& folder, std::string_view topic) {
  const QString path =
      folder + QLatin1Char('/') + QString::fromUtf8(topic.data(), static_cast<qsizetype>(topic.size()));
  if (path.startsWith(QLatin1Char(':'))) {
    QUrl url;
    url.setScheme(QStringLiteral("qrc"));
    url.setPath(path.mid(1));
    return url;
  }
  return QUrl::fromLocalFile(path);
}

QString PagePath(const QString& folder, std::string_view topic) {
  return folder + QLatin1Char('/') + QString::fromUtf8(topic.data(), static_cast<qsizetype>(topic.size()));
}

}  // namespace

HelpWindows::HelpWindows(QString pagesFolder) : pagesFolder_(std::move(pagesFolder)) {}

HelpWindows::~HelpWindows() { CloseAllHelp(); }

void HelpWindows::ShowHelpTopic(std::string_view file, std::string_view topic) {
  // Tessil has one help file; any other name, or a topic it does not hold,
  // opens nothing and says nothing, as a help viewer does.
  if (file != HelpFile || !QFile::exists(PagePath(pagesFolder_, topic))) return;
  QPointer<HelpBrowserWindow>& window = windows_[std::string(file)];
  if (window.isNull()) window = new HelpBrowserWindow(PageUrl(pagesFolder_, GettingStartedTopic));
  window->Open(PageUrl(pagesFolder_, topic));
  window->show();
  window->raise();
  window->activateWindow();
}

void HelpWindows::CloseAllHelp() {
  for (auto& [file, window] : windows_) {
    delete window.data();
  }
  windows_.clear();
}

QWidget* HelpWindows::WindowOf(std::string_view file) const {
  const auto found = windows_.find(file);
  return found == windows_.end() ? nullptr : found->second.data();
}

QString HelpWindows::ShownPage(std::string_view file) const {
  const auto found = windows_.find(file);
  return found == windows_.end() || found->second.isNull() ? QString() : found->second->Shown();
}

int HelpWindows::OpenWindows() const {
  int open = 0;
  for (const auto& [file, window] : windows_) open += !window.isNull() && window->isVisible();
  return open;
}

}  // namespace tessil
