#include "study/kept_output.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "core/exceptions.hpp"
#include "fileio/io_error.hpp"

namespace vindrel::study {
namespace {

std::atomic<unsigned> fresh_counter{0};

// Runs `step`; an EInOutError it throws names the kept file instead of the new
// file's passing name.
template <typename Step>
void naming_kept_file(const std::string& file_name, Step&& step) {
  try {
    step();
  } catch (const EInOutError& error) {
    throw EInOutError(error.message(), file_name, error.line());
  }
}

}  // namespace

void KeptOutput::begin(const Model& model) {
  discard();
  const std::filesystem::path kept(file_name_);
  // A hidden name of this process's own beside the kept file, created here so
  // that no entry already in the folder is ever opened.
  for (int attempt = 0; attempt < 100 && fresh_name_.empty(); ++attempt) {
    std::string hidden(1, '.');
    hidden.append(kept.filename().string()).append(1, '.').append(std::to_string(getpid()));
    hidden.append(1, '.').append(std::to_string(fresh_counter.fetch_add(1)));
    const std::string name = (kept.parent_path() / hidden).string();
    const int descriptor =
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      ::close(descriptor);
      fresh_name_ = name;
    } else if (errno != EEXIST) {
      throw_io_error(errno, file_name_, 0, true);
    }
  }
  if (fresh_name_.empty()) throw_io_error(EEXIST, file_name_, 0, true);
  if (make_sink_) {
    sink_ = make_sink_(fresh_name_);
  } else {
    sink_ = std::make_unique<OutputFileSink>(fresh_name_);
  }
  naming_kept_file(file_name_, [&] { sink_->begin(model); });
  begun_ = true;
}

void KeptOutput::record(const Model& model, double time) {
  naming_kept_file(file_name_, [&] { sink_->record(model, time); });
}

void KeptOutput::end() {
  if (sink_) naming_kept_file(file_name_, [&] { sink_->end(); });
}

void KeptOutput::publish() {
  if (!begun_ || fresh_name_.empty()) return;
  if (std::rename(fresh_name_.c_str(), file_name_.c_str()) != 0) {
    const int error = errno;
    discard();
    throw_io_error(error, file_name_, 0, true);
  }
  fresh_name_.clear();
}

void KeptOutput::discard() noexcept {
  if (!fresh_name_.empty()) {
    (void)std::remove(fresh_name_.c_str());
    fresh_name_.clear();
  }
  sink_.reset();
  begun_ = false;
}

}  // namespace vindrel::study
