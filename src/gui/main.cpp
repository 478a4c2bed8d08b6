#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Marlune Ostra 7");
  QMainWindow window;
  window.setWindowTitle("USB Vector Network Analyser");
  window.resize(1000, 680);
  window.show();
  return QApplication::exec();
}
