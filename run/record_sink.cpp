#include "run/record_sink.hpp"

#include <ctime>

#include "fileio/content_hash.hpp"
#include "fileio/number_format.hpp"
#include "run/run_settings.hpp"

namespace vindrel {

void OutputFileSink::begin(const Model& model) { writer_.open(file_name_, model); }

void OutputFileSink::record(const Model& model, double time) { writer_.write_record(model, time); }

void OutputFileSink::end() { writer_.close(); }

void OutputFileSink::end_incomplete() {
  if (incomplete_name_.empty()) {
    writer_.close();
  } else {
    writer_.close_as(incomplete_name_);
  }
}

std::string partial_file_name(const std::string& file_name) {
  const std::size_t slash = file_name.find_last_of('/');
  const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = file_name.find_last_of('.');
  // A leading dot (a hidden file) is no extension.
  if (dot == std::string::npos || dot <= base) return file_name + ".partial";
  return file_name.substr(0, dot) + ".partial" + file_name.substr(dot);
}

void OutputTable::begin(const Model& model) {
  columns_ = output_columns(model.ModelInfo);
  values_.clear();
}

void OutputTable::record(const Model& model, double time) {
  const TModelDef& info = model.ModelInfo;
  values_.push_back(time);
  for (std::int32_t i = 1; i <= info.DriverCount; ++i) values_.push_back(model.drivers[i].value);
  for (std::int32_t i = 1; i <= info.StateCount; ++i) values_.push_back(model.states[i].value);
  for (std::int32_t i = info.StateCount + 1; i <= info.ProcessCount; ++i) {
    values_.push_back(model.processes[i].value);
  }
}

TableFileSink::TableFileSink(std::string file_name, std::unique_ptr<TableWriter> writer,
                             std::vector<std::size_t> columns, OutputMetadata metadata)
    : FileRecordSink(std::move(file_name)),
      writer_(std::move(writer)),
      columns_(std::move(columns)),
      metadata_(std::move(metadata)) {}

void TableFileSink::begin(const Model& model) {
  labels_ = chosen_column_labels(model, columns_);
  row_.assign(labels_.size(), 0.0);
  writer_->open(file_name_, model.ModelInfo, labels_, metadata_);
}

void TableFileSink::record(const Model& model, double time) {
  row_[0] = time;
  for (std::size_t c = 1; c < labels_.size(); ++c) row_[c] = column_value(model, labels_[c]);
  writer_->write_row(row_.data());
}

// After a failed write the writer has dropped its file: closing does nothing.
void TableFileSink::end() { writer_->close(); }

void TableFileSink::end_incomplete() {
  if (incomplete_name_.empty()) {
    writer_->close();
  } else {
    writer_->close_as(incomplete_name_);
  }
}

std::string utc_time_text(std::chrono::system_clock::time_point time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return std::string(text, length);
}

OutputMetadata run_metadata(const RunSettings& settings, const Model& model,
                            std::string_view command_line) {
  OutputMetadata items;
  const std::string model_name = model.ModelInfo.ModelName + " " + model.ModelInfo.ModelVersion;
  items.push_back({"title",
                   model_name + " run of the parameter file " + settings.parameter_file +
                       " with the driver file " + settings.driver_file,
                   std::nullopt});
  if (!command_line.empty()) {
    items.push_back({"history",
                     utc_time_text(std::chrono::system_clock::now()) + ": " +
                         std::string(command_line) + " (" + model_name + ")",
                     std::nullopt});
  }
  const auto number = [&items](const char* name, double value) {
    items.push_back({name, shortest_decimal_text(value), value});
  };
  const auto text = [&items](const char* name, std::string value) {
    items.push_back({name, std::move(value), std::nullopt});
  };
  number("start_time", settings.start_time);
  number("stop_time", settings.stop_time);
  number("time_step", settings.time_step);
  number("output_step", settings.output_step);
  text("integrator", integrator_description(settings));
  if (settings.repeat_drivers) number("repeat_drivers_days", settings.repeat_time);
  std::string held;
  std::string reset;
  for (std::int32_t i = 1; i <= model.ModelInfo.StateCount; ++i) {
    if (model.states[i].HoldConstant) held += (held.empty() ? "" : ",") + model.states[i].symbol;
    if (model.states[i].Reset) reset += (reset.empty() ? "" : ",") + model.states[i].symbol;
  }
  if (settings.reset_states) {
    number("reset_every_days", settings.reset_interval);
    text("reset_states", reset);
  }
  if (!held.empty()) text("held_states", held);
  text("parameter_file", settings.parameter_file);
  text("parameter_file_sha256", file_sha256(settings.parameter_file));
  text("driver_file", settings.driver_file);
  text("driver_file_sha256", file_sha256(settings.driver_file));
  return items;
}

}  // namespace vindrel
