#include "ui/output_export.hpp"

#include <QSaveFile>
#include <charconv>
#include <cmath>
#include <string>

#include "core/exceptions.hpp"
#include "ui/output_table_model.hpp"

namespace vindrel::ui {

QString csv_field(const QString& text) {
  if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
      !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
    return text;
  }
  QString quoted = text;
  quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void write_output_csv(const OutputTableModel& table, QList<int> columns, const QString& file_name) {
  if (columns.isEmpty()) {
    for (int c = 0; c < table.columns(); ++c) columns << c;
  }
  QSaveFile file(file_name);
  const auto fail = [&] {
    throw EInOutError("Could not write the CSV file: " + file.errorString().toStdString(),
                      file_name.toStdString());
  };
  if (!file.open(QIODevice::WriteOnly)) fail();
  QString header;
  for (qsizetype k = 0; k < columns.size(); ++k) {
    const int c = columns[k];
    if (k > 0) header += QLatin1Char(',');
    QString title = table.names()[c];
    if (!table.units()[c].trimmed().isEmpty())
      title += QStringLiteral(" [%1]").arg(table.units()[c]);
    header += csv_field(title);
  }
  header += QLatin1Char('\n');
  file.write(header.toUtf8());
  std::string line;
  char number[32];
  for (std::size_t r = 0; r < table.records(); ++r) {
    line.clear();
    for (qsizetype k = 0; k < columns.size(); ++k) {
      if (k > 0) line += ',';
      const double value = table.value(r, columns[k]);
      if (std::isnan(value)) {
        line += "NaN";  // the spellings both pandas and R read as numbers
      } else if (std::isinf(value)) {
        line += value > 0 ? "Inf" : "-Inf";
      } else {
        // The shortest text that reads back as the same double.
        const auto result = std::to_chars(number, number + sizeof number, value);
        line.append(number, result.ptr);
      }
    }
    line += '\n';
    if (file.write(line.data(), static_cast<qint64>(line.size())) < 0) fail();
  }
  if (!file.commit()) fail();
}

}  // namespace vindrel::ui
