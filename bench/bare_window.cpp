// The yardstick for Varnik's start-up: a bare Qt window with the same five
// controls in the same places, and nothing behind them.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QWidget window;
  window.setFixedSize(443, 70);
  window.setWindowTitle(QStringLiteral("Varnik"));
  for (const int top : {8, 40}) {
    (new QLineEdit(&window))->setGeometry(16, top, 167, 19);
    (new QPushButton(QStringLiteral("Metti questo dato su Name"), &window))
        ->setGeometry(192, top, 160, 22);
  }
  (new QPushButton(QStringLiteral("Esci"), &window))->setGeometry(376, 24, 49, 22);
  window.show();
  return QApplication::exec();
}
