// A tiny registry of screenshots: every tests/ui/screenshots/shot_<name>.cpp
// adds its pictures with
//
//   VINDREL_SCREENSHOT(main_window) {
//     TMainForm window(...);
//     shot.save(window, "main_window");
//   }
//
// and the vindrel_screenshots program (scripts/screenshots.sh) runs them all
// under Xvfb, each with a fresh scratch folder, writing PNG files to
// docs/screenshots/.
#pragma once

#include <QDir>
#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace vindrel::ui::screenshots {

// What a screenshot gets: where the sources and the example stand are, a
// scratch folder of its own, and the way to save a picture.
class Shot {
 public:
  Shot(QString source_dir, QString output_dir, QString scratch_dir)
      : source_dir_(std::move(source_dir)),
        output_dir_(std::move(output_dir)),
        scratch_dir_(std::move(scratch_dir)) {}

  // The source tree (the example stand's paths are relative to it).
  const QString& source_dir() const { return source_dir_; }
  // The example stand: examples/vindrel-example.par and .drr.
  QString example_parameter_file() const { return source_dir_ + "/examples/vindrel-example.par"; }
  QString example_driver_file() const { return source_dir_ + "/examples/vindrel-example.drr"; }
  // A folder that exists for this shot only (output files, copies to edit).
  QString scratch(const QString& file_name) const { return scratch_dir_ + '/' + file_name; }

  // Shows the window (if hidden), lets it lay itself out and paint, and
  // writes <name>.png. Returns the file written.
  QString save(QWidget& window, const QString& name) const;
  // Lets pending events run for about `milliseconds` (a moving progress bar).
  static void settle(int milliseconds = 50);

 private:
  QString source_dir_;
  QString output_dir_;
  QString scratch_dir_;
};

using ShotFunction = void (*)(const Shot&);

struct RegisteredShot {
  const char* name;
  ShotFunction function;
};

std::vector<RegisteredShot>& registered_shots();

struct ShotRegistrar {
  ShotRegistrar(const char* name, ShotFunction function) {
    registered_shots().push_back({name, function});
  }
};

}  // namespace vindrel::ui::screenshots

// Defines one screenshot; the body sees `const Shot& shot`.
#define VINDREL_SCREENSHOT(name)                                                              \
  static void vindrel_screenshot_##name(const ::vindrel::ui::screenshots::Shot& shot);        \
  static const ::vindrel::ui::screenshots::ShotRegistrar vindrel_screenshot_registrar_##name( \
      #name, &vindrel_screenshot_##name);                                                     \
  static void vindrel_screenshot_##name(const ::vindrel::ui::screenshots::Shot& shot)
