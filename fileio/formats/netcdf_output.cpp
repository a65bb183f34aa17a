#include "fileio/formats/netcdf_output.hpp"

#include <H5Epublic.h>
#include <H5public.h>
#include <netcdf.h>

#include <cerrno>
#include <mutex>
#include <optional>

#include "core/exceptions.hpp"
#include "fileio/formats/cf_attributes.hpp"
#include "fileio/io_error.hpp"
#include "fileio/safe_write.hpp"

namespace vindrel {
namespace {

// The NetCDF and HDF5 libraries keep global state without locks. The first
// use also keeps HDF5 from closing files at the program's exit: a file whose
// writing failed (a full disk) cannot be closed, and HDF5's own attempt at
// exit would crash the program after it reported the failure.
std::mutex& library_lock() {
  static std::mutex lock;
  static const bool prepared = [] {
    (void)H5dont_atexit();
    return true;
  }();
  (void)prepared;
  return lock;
}

// HDF5 prints its stack of errors to standard error unless told not to, and
// the NetCDF library tells it so only on the thread that first used it: a
// study's worker thread whose file failed (a full disk) would print pages of
// diagnostics before the program's own message. Called under library_lock().
void keep_hdf5_errors_quiet() {
  thread_local bool quiet = false;
  if (quiet) return;
  (void)H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  quiet = true;
}

constexpr int kDeflateLevel = 1;
constexpr const char* kTimeUnitsReference = " since 0000-12-31 00:00:00";

// The message of a failed NetCDF call. A write that the system refused for
// want of room is a full disk, as for the other files.
std::string netcdf_message(int status, int error_number) {
  if (error_number == ENOSPC || error_number == EFBIG
#ifdef EDQUOT
      || error_number == EDQUOT
#endif
  ) {
    return io_error_message(error_number);
  }
  return std::string("NetCDF error: ") + nc_strerror(status);
}

void put_text(int ncid, int varid, const char* name, const std::string& text, int& status) {
  if (status == NC_NOERR) status = nc_put_att_text(ncid, varid, name, text.size(), text.data());
}

void put_number(int ncid, int varid, const char* name, double value, int& status) {
  if (status == NC_NOERR) status = nc_put_att_double(ncid, varid, name, NC_DOUBLE, 1, &value);
}

// Sets the library's default chunk cache to nothing for as long as it lives,
// then puts back what was in force (another user of the library in this
// process keeps its settings).
class NoChunkCache {
 public:
  NoChunkCache() {
    saved_ = nc_get_chunk_cache(&size_, &elements_, &preemption_) == NC_NOERR;
    if (saved_) (void)nc_set_chunk_cache(0, 0, 0.0f);
  }
  ~NoChunkCache() {
    if (saved_) (void)nc_set_chunk_cache(size_, elements_, preemption_);
  }
  NoChunkCache(const NoChunkCache&) = delete;
  NoChunkCache& operator=(const NoChunkCache&) = delete;

 private:
  bool saved_ = false;
  std::size_t size_ = 0;
  std::size_t elements_ = 0;
  float preemption_ = 0.0f;
};

// The CF attributes of a value column, and the model's own texts beside them.
void put_column_attributes(int ncid, int varid, const ColumnLabel& column, int& status) {
  const CfDescription cf = cf_description(column);
  if (!cf.standard_name.empty()) put_text(ncid, varid, "standard_name", cf.standard_name, status);
  put_text(ncid, varid, "long_name", cf.long_name, status);
  if (!cf.units.empty()) put_text(ncid, varid, "units", cf.units, status);
  if (!cf.cell_methods.empty()) put_text(ncid, varid, "cell_methods", cf.cell_methods, status);
  if (cf.fill_value) {
    // The fill value (set with the variable) is also the missing value, as
    // older tools look for that name.
    put_number(ncid, varid, "missing_value", *cf.fill_value, status);
    put_text(ncid, varid, "comment", cf.comment, status);
  }
  put_text(ncid, varid, "vindrel_name", column.long_name, status);
  put_text(ncid, varid, "vindrel_units", column.units, status);
  put_text(ncid, varid, "model_table", std::string(column_table_word(column.table)), status);
  if (status == NC_NOERR) {
    const int index = column.index;
    status = nc_put_att_int(ncid, varid, "model_index", NC_INT, 1, &index);
  }
}

const MetadataItem* find_item(const OutputMetadata& metadata, std::string_view name) {
  for (const MetadataItem& item : metadata) {
    if (item.name == name) return &item;
  }
  return nullptr;
}

// Conventions, title, source and history first, then the run's metadata.
void put_global_attributes(int ncid, const std::string& model_name,
                           const std::string& model_version, const OutputMetadata& metadata,
                           int& status) {
  const std::string model = model_name + " " + model_version;
  put_text(ncid, NC_GLOBAL, "Conventions", "CF-1.9", status);
  const MetadataItem* title = find_item(metadata, "title");
  put_text(ncid, NC_GLOBAL, "title", title ? title->text : model + " run", status);
  put_text(ncid, NC_GLOBAL, "source", model + " forest ecosystem model", status);
  if (const MetadataItem* history = find_item(metadata, "history")) {
    put_text(ncid, NC_GLOBAL, "history", history->text, status);
  }
  put_text(ncid, NC_GLOBAL, "model", model_name, status);
  put_text(ncid, NC_GLOBAL, "model_version", model_version, status);
  for (const MetadataItem& item : metadata) {
    if (item.name == "title" || item.name == "history") continue;
    if (item.number) {
      put_number(ncid, NC_GLOBAL, item.name.c_str(), *item.number, status);
    } else {
      put_text(ncid, NC_GLOBAL, item.name.c_str(), item.text, status);
    }
  }
}

}  // namespace

struct NetcdfTableWriter::File {
  std::string file_name;
  std::optional<NamedTemporaryFile> temporary;
  std::string model_name;
  std::string model_version;
  std::vector<ColumnLabel> columns;  // the time first
  OutputMetadata metadata;
  int ncid = -1;               // once the file is defined
  std::vector<int> variables;  // one per column, the time first
  std::vector<double> block;   // column by column, kNetcdfChunkRecords rows each
  std::size_t held = 0;        // rows in the block
  std::size_t written = 0;     // rows in the file

  // Removes the file and throws the failure of a NetCDF call. A file whose
  // writing failed (a full disk) is not closed: closing or aborting it then
  // crashes the NetCDF library (4.9), so its handle is given up; the
  // temporary file is removed all the same.
  [[noreturn]] void fail(int status) {
    const int error_number = errno;
    ncid = -1;
    temporary.reset();
    throw EInOutError(netcdf_message(status, error_number), file_name);
  }

  void check(int status) {
    if (status != NC_NOERR) fail(status);
  }

  // Creates the file with its variables and attributes: NetCDF-4, chunked
  // along time by `chunk_records` and deflated, or, when `chunk_records` is
  // 0, the 64-bit-offset format, uncompressed.
  void define(std::size_t chunk_records) {
    const bool netcdf4 = chunk_records > 0;
    // Every chunk goes to the file whole, once: a chunk cache would only keep
    // the data in memory until the file is closed (all of it, as each
    // variable's default cache holds a long run's column). A variable takes
    // the cache size in force when it is defined.
    const NoChunkCache no_cache;
    keep_hdf5_errors_quiet();
    errno = 0;
    check(nc_create(temporary->name().c_str(),
                    (netcdf4 ? NC_NETCDF4 : NC_64BIT_OFFSET) | NC_CLOBBER, &ncid));
    int old_fill = 0;
    int status = nc_set_fill(ncid, NC_NOFILL, &old_fill);
    int time_dimension = -1;
    if (status == NC_NOERR) status = nc_def_dim(ncid, "time", NC_UNLIMITED, &time_dimension);
    for (const ColumnLabel& column : columns) {
      int varid = -1;
      const bool time = column.table == ColumnTable::kTime;
      const std::string name = time ? "time" : column.name;
      if (status == NC_NOERR)
        status = nc_def_var(ncid, name.c_str(), NC_DOUBLE, 1, &time_dimension, &varid);
      if (netcdf4 && status == NC_NOERR)
        status = nc_def_var_chunking(ncid, varid, NC_CHUNKED, &chunk_records);
      if (netcdf4 && status == NC_NOERR)
        status = nc_def_var_deflate(ncid, varid, 1, 1, kDeflateLevel);
      const std::optional<double> fill = time ? std::nullopt : cf_description(column).fill_value;
      if (status == NC_NOERR)
        status = nc_def_var_fill(ncid, varid, fill ? 0 : 1, fill ? &*fill : nullptr);
      if (time) {
        put_text(ncid, varid, "standard_name", "time", status);
        put_text(ncid, varid, "long_name", column.long_name, status);
        put_text(ncid, varid, "units", column.units + kTimeUnitsReference, status);
        put_text(ncid, varid, "calendar", "366_day", status);
        put_text(ncid, varid, "axis", "T", status);
      } else {
        put_column_attributes(ncid, varid, column, status);
      }
      variables.push_back(varid);
    }
    put_global_attributes(ncid, model_name, model_version, metadata, status);
    errno = 0;
    if (status == NC_NOERR) status = nc_enddef(ncid);
    check(status);
  }

  void flush() {
    if (ncid < 0) define(kNetcdfChunkRecords);
    for (std::size_t c = 0; c < variables.size() && held > 0; ++c) {
      const std::size_t start = written;
      const std::size_t count = held;
      errno = 0;
      check(nc_put_vara_double(ncid, variables[c], &start, &count,
                               block.data() + c * kNetcdfChunkRecords));
    }
    written += held;
    held = 0;
  }
};

NetcdfTableWriter::NetcdfTableWriter() = default;
NetcdfTableWriter::~NetcdfTableWriter() { abandon(); }

bool NetcdfTableWriter::is_open() const noexcept { return file_ && file_->temporary; }

void NetcdfTableWriter::open(const std::string& file_name, const TModelDef& info,
                             std::span<const ColumnLabel> columns, const OutputMetadata& metadata) {
  abandon();
  auto file = std::make_unique<File>();
  file->file_name = file_name;
  file->temporary.emplace(file_name);
  file->model_name = info.ModelName;
  file->model_version = info.ModelVersion;
  file->columns.assign(columns.begin(), columns.end());
  file->metadata = metadata;
  file->block.resize(columns.size() * kNetcdfChunkRecords);
  file_ = std::move(file);
}

void NetcdfTableWriter::write_row(const double* values) {
  if (!is_open())
    throw EInOutError(std::string(kFileNotOpenForOutput), file_ ? file_->file_name : "");
  File& file = *file_;
  for (std::size_t c = 0; c < file.columns.size(); ++c) {
    file.block[c * kNetcdfChunkRecords + file.held] = values[c];
  }
  if (++file.held < kNetcdfChunkRecords) return;
  const std::lock_guard lock(library_lock());
  try {
    file.flush();
  } catch (...) {
    file_.reset();
    throw;
  }
}

void NetcdfTableWriter::close() {
  if (!is_open()) return;
  std::unique_ptr<File> file = std::move(file_);
  const std::lock_guard lock(library_lock());
  if (file->ncid < 0) {
    // A run whose records all fit in the block: a short one is written in
    // the 64-bit-offset format, which has no fixed cost per variable
    // (NetCDF-4 has about 3 kB); a longer one as NetCDF-4 in one chunk.
    file->define(file->held <= kNetcdfClassicRecords ? 0 : file->held);
  }
  file->flush();
  errno = 0;
  const int status = nc_close(file->ncid);
  if (status != NC_NOERR) file->fail(status);
  file->ncid = -1;
  file->temporary->commit();
}

void NetcdfTableWriter::close_as(const std::string& file_name) {
  if (!is_open()) return;
  file_->file_name = file_name;
  file_->temporary->retarget(file_name);
  close();
}

void NetcdfTableWriter::abandon() noexcept {
  if (!file_) return;
  if (file_->ncid >= 0) {
    const std::lock_guard lock(library_lock());
    (void)nc_close(file_->ncid);
  }
  file_.reset();
}

struct NetcdfOutputReader::File {
  std::string file_name;
  int ncid = -1;
  int time_dimension = -1;
  std::size_t records = 0;

  [[noreturn]] void fail(const std::string& message) const {
    throw EInOutError(message, file_name);
  }
};

NetcdfOutputReader::NetcdfOutputReader() = default;
NetcdfOutputReader::~NetcdfOutputReader() { close(); }

void NetcdfOutputReader::close() noexcept {
  if (file_ && file_->ncid >= 0) {
    const std::lock_guard lock(library_lock());
    (void)nc_close(file_->ncid);
  }
  file_.reset();
}

void NetcdfOutputReader::open(const std::string& file_name) {
  close();
  auto file = std::make_unique<File>();
  file->file_name = file_name;
  const std::lock_guard lock(library_lock());
  const int status = nc_open(file_name.c_str(), NC_NOWRITE, &file->ncid);
  // The library passes the system's errors on as positive numbers.
  if (status > 0) throw_io_error(status, file_name);
  if (status != NC_NOERR) file->fail(std::string("NetCDF error: ") + nc_strerror(status));
  file_ = std::move(file);
  File& f = *file_;
  int time_variable = -1;
  if (nc_inq_dimid(f.ncid, "time", &f.time_dimension) != NC_NOERR ||
      nc_inq_varid(f.ncid, "time", &time_variable) != NC_NOERR ||
      nc_inq_dimlen(f.ncid, f.time_dimension, &f.records) != NC_NOERR) {
    f.fail("expected a NetCDF output of a run, with a \"time\" dimension and variable");
  }
}

std::size_t NetcdfOutputReader::records() const noexcept { return file_ ? file_->records : 0; }

bool NetcdfOutputReader::has(const std::string& name) const {
  if (!file_) return false;
  const std::lock_guard lock(library_lock());
  int varid = -1;
  int dimensions = 0;
  int dimension = -1;
  if (nc_inq_varid(file_->ncid, name.c_str(), &varid) != NC_NOERR) return false;
  if (nc_inq_varndims(file_->ncid, varid, &dimensions) != NC_NOERR || dimensions != 1) return false;
  return nc_inq_vardimid(file_->ncid, varid, &dimension) == NC_NOERR &&
         dimension == file_->time_dimension;
}

void NetcdfOutputReader::read(const std::string& name, std::size_t first, std::size_t count,
                              double* values) const {
  if (!file_) throw EInOutError(std::string(kFileNotOpenForInput), "");
  const std::lock_guard lock(library_lock());
  int varid = -1;
  int status = nc_inq_varid(file_->ncid, name.c_str(), &varid);
  if (status == NC_NOERR) status = nc_get_vara_double(file_->ncid, varid, &first, &count, values);
  if (status != NC_NOERR) {
    file_->fail("NetCDF error reading the variable " + name + ": " + nc_strerror(status));
  }
}

}  // namespace vindrel
