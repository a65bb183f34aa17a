// What the desktop program remembers between sessions: the last parameter,
// driver and output files, a short list of recently used files, the run
// settings and the main window's place on the screen. Kept in a QSettings store; the program uses
// the user's own, tests a file of their own, and the unattended modes none.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <memory>

class QSettings;

namespace vindrel::ui {

enum class FileKind { kParameter, kDriver, kOutput };

struct RecentFile {
  FileKind kind = FileKind::kParameter;
  QString name;
  bool operator==(const RecentFile&) const = default;
};

class SessionMemory {
 public:
  // At most this many recent files are kept, the most recent first.
  static constexpr int kRecentCount = 8;

  explicit SessionMemory(std::unique_ptr<QSettings> store);
  ~SessionMemory();
  // The user's own store: the organisation's and program's "Vindrel".
  static std::unique_ptr<SessionMemory> users();

  // The last file of a kind; empty when none was used.
  QString last_file(FileKind kind) const;
  QList<RecentFile> recent_files() const;
  // The file becomes the last of its kind and the first recent file.
  void remember_file(FileKind kind, const QString& name);
  void forget_recent(const RecentFile& file);

  // Any other remembered value (the run settings), by key; invalid when none.
  QVariant value(const QString& key) const;
  void set_value(const QString& key, const QVariant& value);

  // QWidget::saveGeometry's bytes; empty when none was kept.
  QByteArray window_geometry() const;
  void set_window_geometry(const QByteArray& geometry);

 private:
  void store_recent(const QList<RecentFile>& files);
  std::unique_ptr<QSettings> store_;
};

// "Parameter file", "Driver file", "Output file".
QString file_kind_caption(FileKind kind);

}  // namespace vindrel::ui
