#include "gui/splash_screen.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "base/constants.h"
#include "gui/artwork.h"
#include "gui/handler_call.h"

namespace ostra {

namespace {

// A progress square: aqua fill, white outline.
class Shape : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(Qt::white);
    p.setBrush(QColor(0, 255, 255));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
};

}  // namespace

Tsplash_screen::Tsplash_screen(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("splash_screen");
  setWindowTitle(QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()));
  setFixedSize(400, 240);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  auto* picture = new QLabel(this);
  picture->setObjectName("Image1");
  picture->setGeometry(0, 0, 400, 240);
  picture->setScaledContents(true);
  picture->setPixmap(QPixmap::fromImage(SplashPicture()));

  auto* loading = new QLabel("Loading .....", this);
  loading->setObjectName("Label1");
  loading->setAttribute(Qt::WA_TranslucentBackground);
  QPalette palette = loading->palette();
  palette.setColor(QPalette::WindowText, Qt::white);
  loading->setPalette(palette);
  loading->move(8, 200);
  loading->adjustSize();

  for (int i = 0; i < 8; ++i) {
    auto* square = new Shape(this);
    square->setObjectName(QString("Shape%1").arg(i + 1));
    square->setGeometry(8 + 16 * i, 216, 12, 12);
    square->hide();
    squares_[static_cast<size_t>(i)] = square;
  }
}

void Tsplash_screen::ShowSplash(const SplashState& splash) {
  for (size_t i = 0; i < squares_.size(); ++i) squares_[i]->setVisible(splash.squares[i]);
}

void Tsplash_screen::closeEvent(QCloseEvent* event) {
  event->accept();
  CallHandler(on_close);
}

}  // namespace ostra
