#include "ui/tmain_form_memory.hpp"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QStringList>
#include <cmath>
#include <utility>

#include "fileio/number_format.hpp"
#include "ui/error_handler.hpp"
#include "ui/tmain_form.hpp"

namespace vindrel::ui {

namespace {

// Each kind of file: its key in the store and its caption in the menu.
struct KindNames {
  FileKind kind;
  const char* key;
  const char* caption;
};
constexpr KindNames kKindNames[] = {{FileKind::kParameter, "parameter", "Parameter file"},
                                    {FileKind::kDriver, "driver", "Driver file"},
                                    {FileKind::kOutput, "output", "Output file"}};

const KindNames& names_of(FileKind kind) {
  for (const KindNames& names : kKindNames) {
    if (names.kind == kind) return names;
  }
  return kKindNames[0];
}

QString kind_key(FileKind kind) { return QLatin1String(names_of(kind).key); }

}  // namespace

QString file_kind_caption(FileKind kind) { return QLatin1String(names_of(kind).caption); }

SessionMemory::SessionMemory(std::unique_ptr<QSettings> store) : store_(std::move(store)) {}

SessionMemory::~SessionMemory() = default;

std::unique_ptr<SessionMemory> SessionMemory::users() {
  return std::make_unique<SessionMemory>(
      std::make_unique<QSettings>(QStringLiteral("Vindrel"), QStringLiteral("Vindrel")));
}

QString SessionMemory::last_file(FileKind kind) const {
  return store_->value(QStringLiteral("files/last_") + kind_key(kind)).toString();
}

QList<RecentFile> SessionMemory::recent_files() const {
  // Each entry is "kind:name"; entries that do not read so are passed over.
  QList<RecentFile> files;
  const QStringList entries = store_->value(QStringLiteral("files/recent")).toStringList();
  for (const QString& entry : entries) {
    const qsizetype colon = entry.indexOf(QLatin1Char(':'));
    if (colon <= 0) continue;
    for (const KindNames& names : kKindNames) {
      if (entry.left(colon) == QLatin1String(names.key)) {
        files.append({names.kind, entry.mid(colon + 1)});
      }
    }
  }
  return files;
}

void SessionMemory::remember_file(FileKind kind, const QString& name) {
  if (name.isEmpty()) return;
  store_->setValue(QStringLiteral("files/last_") + kind_key(kind), name);
  QList<RecentFile> files = recent_files();
  files.removeAll(RecentFile{kind, name});
  files.prepend({kind, name});
  store_recent(files.mid(0, kRecentCount));
}

void SessionMemory::forget_recent(const RecentFile& file) {
  QList<RecentFile> files = recent_files();
  files.removeAll(file);
  store_recent(files);
}

void SessionMemory::store_recent(const QList<RecentFile>& files) {
  QStringList entries;
  for (const RecentFile& file : files)
    entries << kind_key(file.kind) + QLatin1Char(':') + file.name;
  store_->setValue(QStringLiteral("files/recent"), entries);
  store_->sync();
}

QVariant SessionMemory::value(const QString& key) const { return store_->value(key); }

void SessionMemory::set_value(const QString& key, const QVariant& value) {
  if (store_->value(key) != value) store_->setValue(key, value);
}

QByteArray SessionMemory::window_geometry() const {
  return store_->value(QStringLiteral("window/geometry")).toByteArray();
}

void SessionMemory::set_window_geometry(const QByteArray& geometry) {
  store_->setValue(QStringLiteral("window/geometry"), geometry);
  store_->sync();
}

// ---------------------------------------------------------------- the main window's part

void TMainForm::remember_with(std::unique_ptr<SessionMemory> memory) {
  memory_ = std::move(memory);
  if (!memory_) return;
  if (const QByteArray geometry = memory_->window_geometry();
      !geometry.isEmpty() && restoreGeometry(geometry)) {
    centred_ = true;
  }
  // The last files, as if typed, where they still are; names that are gone
  // are left out rather than made anew.
  const auto still_there = [this](FileKind kind) {
    const QString name = memory_->last_file(kind);
    return QFileInfo::exists(name) ? name : QString();
  };
  QString output = memory_->last_file(FileKind::kOutput);
  if (!output.isEmpty() && !QFileInfo(output).absoluteDir().exists()) output.clear();
  enter_file_names(still_there(FileKind::kParameter), still_there(FileKind::kDriver), output);
  restore_run_settings();
  connect(&program_, &ProgramState::changed, this, &TMainForm::remember_files);
  remember_files();
}

namespace {

const QString kStopKey = QStringLiteral("run/stop_time");
const QString kStepKey = QStringLiteral("run/time_step");
const QString kOutputStepKey = QStringLiteral("run/output_step");
const QString kIntegratorKey = QStringLiteral("run/integrator");
const QString kToleranceKey = QStringLiteral("run/relative_tolerance");
const QString kRepeatKey = QStringLiteral("run/repeat_drivers_every");
const QString kResetKey = QStringLiteral("run/reset_states_every");

// A remembered number above 0, or 0 when there is none.
double positive(const QVariant& value) {
  bool ok = false;
  const double number = value.toDouble(&ok);
  return ok && number > 0.0 && std::isfinite(number) ? number : 0.0;
}

}  // namespace

void TMainForm::restore_run_settings() {
  // The times as if typed in their boxes, so that they are checked as typed ones.
  const std::pair<QLineEdit*, const QString&> boxes[] = {{MEStopTime, kStopKey},
                                                         {METimeStep, kStepKey}};
  for (const auto& [box, key] : boxes) {
    const double value = positive(memory_->value(key));
    if (value <= 0.0) continue;
    box->setText(QString::fromStdString(shortest_decimal_text(value)));
    box->setModified(true);
    box_left(box);
  }
  const ProgramState::Batch batch(program_);
  if (const double step = positive(memory_->value(kOutputStepKey)); step > 0.0) {
    program_.set(&RunSettings::output_step, step);
    guarded(this, dialogs_, [&] { check_output_step(); });
  }
  if (const auto kind =
          integrator_from_name(memory_->value(kIntegratorKey).toString().toStdString())) {
    program_.set(&RunSettings::integrator, *kind);
  }
  if (const double tolerance = positive(memory_->value(kToleranceKey)); tolerance > 0.0) {
    program_.set(&RunSettings::relative_tolerance, tolerance);
  }
  // A special run: the periods of whole days, 0 for an option not set.
  const int repeat = static_cast<int>(positive(memory_->value(kRepeatKey)));
  const int reset = static_cast<int>(positive(memory_->value(kResetKey)));
  program_.set(&RunSettings::repeat_drivers, repeat > 0);
  if (repeat > 0) program_.set(&RunSettings::repeat_time, repeat);
  program_.set(&RunSettings::reset_states, reset > 0);
  if (reset > 0) program_.set(&RunSettings::reset_interval, reset);
  check_run_menu(repeat > 0 || reset > 0);
  connect(&program_, &ProgramState::changed, this, &TMainForm::remember_run_settings);
}

void TMainForm::remember_run_settings() {
  if (!memory_) return;
  const RunSettings& settings = program_.settings;
  memory_->set_value(kStopKey, settings.stop_time);
  memory_->set_value(kStepKey, settings.time_step);
  memory_->set_value(kOutputStepKey, settings.output_step);
  memory_->set_value(
      kIntegratorKey,
      QString::fromUtf8(integrator_name(settings.integrator).data(),
                        static_cast<qsizetype>(integrator_name(settings.integrator).size())));
  memory_->set_value(kToleranceKey, settings.relative_tolerance);
  memory_->set_value(kRepeatKey, settings.repeat_drivers ? settings.repeat_time : 0);
  memory_->set_value(kResetKey, settings.reset_states ? settings.reset_interval : 0);
}

void TMainForm::remember_files() {
  if (!memory_) return;
  const RunSettings& settings = program_.settings;
  const std::pair<FileKind, const std::string&> files[] = {
      {FileKind::kParameter, settings.parameter_file},
      {FileKind::kDriver, settings.driver_file},
      {FileKind::kOutput, settings.output_file}};
  for (const auto& [kind, name] : files) {
    if (name.empty()) continue;
    // Whole paths: the next session may start in another folder.
    const QString file = QFileInfo(QString::fromStdString(name)).absoluteFilePath();
    if (file != memory_->last_file(kind)) memory_->remember_file(kind, file);
  }
  fill_recent_menu();
}

void TMainForm::fill_recent_menu() {
  MIRecentFiles->clear();
  const QList<RecentFile> files = memory_ ? memory_->recent_files() : QList<RecentFile>{};
  int number = 0;
  for (const RecentFile& file : files) {
    ++number;
    QAction* item = MIRecentFiles->addAction(
        QStringLiteral("&%1 %2: %3")
            .arg(number)
            .arg(file_kind_caption(file.kind), QDir::toNativeSeparators(file.name)));
    connect(item, &QAction::triggered, this,
            [this, file] { guarded(this, dialogs_, [&] { open_recent(file); }); });
  }
  MIRecentFiles->setEnabled(!files.isEmpty());
}

void TMainForm::open_recent(const RecentFile& file) {
  // An output file is written by the next run: its folder must be there.
  const bool there = file.kind == FileKind::kOutput ? QFileInfo(file.name).absoluteDir().exists()
                                                    : QFileInfo::exists(file.name);
  if (!there) {
    dialogs_.message(this, MessageKind::kError,
                     QStringLiteral("%1 no longer exists. It was taken off the recent files.")
                         .arg(QDir::toNativeSeparators(file.name)),
                     MessageButtons::kOk);
    memory_->forget_recent(file);
    fill_recent_menu();
    return;
  }
  const std::string name = file.name.toStdString();
  switch (file.kind) {
    case FileKind::kParameter:
      choose_parameter_file(From::kRecent, name);
      break;
    case FileKind::kDriver:
      choose_driver_file(From::kRecent, name);
      break;
    case FileKind::kOutput:
      choose_output_file(From::kRecent, name);
      break;
  }
}

}  // namespace vindrel::ui
