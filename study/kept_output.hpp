// A study run's kept output file, made fresh. The records go to a new file of
// this process's own in the folder (created with O_CREAT | O_EXCL |
// O_NOFOLLOW), which takes the kept file's name by a rename only when the run
// has ended. Whatever the folder held under that name before (an earlier
// study's file, a symbolic or a hard link to another file) is replaced as a
// name, never opened or written through.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/model.hpp"
#include "run/record_sink.hpp"

namespace vindrel::study {

class KeptOutput final : public RecordSink {
 public:
  // Makes the sink that writes a file of the given name (the new file):
  // the CSV or NetCDF writer; without one, the output file's.
  using SinkMaker = std::function<std::unique_ptr<RecordSink>(const std::string& file_name)>;

  explicit KeptOutput(std::string file_name, SinkMaker make_sink = {})
      : file_name_(std::move(file_name)), make_sink_(std::move(make_sink)) {}
  ~KeptOutput() override { discard(); }
  KeptOutput(const KeptOutput&) = delete;
  KeptOutput& operator=(const KeptOutput&) = delete;

  // The output file's bytes, as vindrel-cli run writes them, into the new file.
  // Errors name the kept file (EInOutError).
  void begin(const Model& model) override;
  void record(const Model& model, double time) override;
  void end() override;

  // After a run that ended (completed or failed; its records so far): gives the
  // new file the kept file's name. Does nothing when begin() failed or was not
  // called. Throws EInOutError when the rename fails.
  void publish();
  // After a cancelled run: removes the new file; the name keeps what it had.
  void discard() noexcept;

  const std::string& file_name() const noexcept { return file_name_; }

 private:
  std::string file_name_;
  std::string fresh_name_;  // the new file, while it is not published
  SinkMaker make_sink_;
  std::unique_ptr<RecordSink> sink_;
  bool begun_ = false;
};

}  // namespace vindrel::study
