// vindrel_screenshots: runs every registered screenshot and writes its PNG
// files. Usage: vindrel_screenshots OUTPUT_DIR [NAME...] (only the named shots).
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <exception>

#include "tests/ui/screenshots/screenshot_registry.hpp"

namespace vindrel::ui::screenshots {

std::vector<RegisteredShot>& registered_shots() {
  static std::vector<RegisteredShot> shots;
  return shots;
}

void Shot::settle(int milliseconds) {
  QDeadlineTimer deadline(milliseconds);
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  } while (!deadline.hasExpired());
}

QString Shot::save(QWidget& window, const QString& name) const {
  if (!window.isVisible()) window.show();
  window.raise();
  settle(150);
  const QString file = output_dir_ + '/' + name + ".png";
  if (!window.grab().save(file, "PNG")) {
    std::fprintf(stderr, "vindrel_screenshots: cannot write %s\n", qPrintable(file));
  } else {
    std::printf("%s\n", qPrintable(file));
  }
  return file;
}

}  // namespace vindrel::ui::screenshots

int main(int argc, char** argv) {
  using namespace vindrel::ui::screenshots;
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: vindrel_screenshots OUTPUT_DIR [NAME...]\n");
    return 2;
  }
  const QString output_dir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QDir().mkpath(output_dir);
  QStringList wanted;
  for (int i = 2; i < argc; ++i) wanted << QString::fromLocal8Bit(argv[i]);

  int failures = 0;
  for (const RegisteredShot& registered : registered_shots()) {
    if (!wanted.isEmpty() && !wanted.contains(QLatin1String(registered.name))) continue;
    QTemporaryDir scratch;
    const Shot shot(QStringLiteral(VINDREL_SOURCE_DIR), output_dir, scratch.path());
    try {
      registered.function(shot);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "vindrel_screenshots: %s: %s\n", registered.name, e.what());
      ++failures;
    }
    // Windows a shot left open are closed before the next one starts.
    for (QWidget* widget : QApplication::topLevelWidgets()) widget->close();
    Shot::settle(20);
  }
  return failures == 0 ? 0 : 1;
}
