// The output display's records as a CSV file that spreadsheets, pandas and R
// read directly: one header line of "name [unit]" and one line per record, the
// numbers in their shortest exact decimal form.
#pragma once

#include <QList>
#include <QString>

namespace vindrel::ui {

class OutputTableModel;

// Writes the given columns (all of them when empty) of every record. The file
// is replaced only when it was written completely. Throws EInOutError.
void write_output_csv(const OutputTableModel& table, QList<int> columns, const QString& file_name);

// A CSV field: quoted, with quotes doubled, when it holds a comma, a quote or a line end.
QString csv_field(const QString& text);

}  // namespace vindrel::ui
