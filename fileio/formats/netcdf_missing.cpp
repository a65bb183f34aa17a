// Built when the NetCDF library is missing: every use of the NetCDF format
// says that this program was built without it.
#include <stdexcept>

#include "fileio/formats/netcdf_output.hpp"
#include "fileio/formats/output_format.hpp"

namespace vindrel {
namespace {

[[noreturn]] void refuse() { throw std::runtime_error(std::string(kNetcdfMissing)); }

}  // namespace

struct NetcdfTableWriter::File {};
NetcdfTableWriter::NetcdfTableWriter() = default;
NetcdfTableWriter::~NetcdfTableWriter() = default;
void NetcdfTableWriter::open(const std::string&, const TModelDef&, std::span<const ColumnLabel>,
                             const OutputMetadata&) {
  refuse();
}
void NetcdfTableWriter::write_row(const double*) { refuse(); }
void NetcdfTableWriter::close() {}
void NetcdfTableWriter::abandon() noexcept {}
bool NetcdfTableWriter::is_open() const noexcept { return false; }

struct NetcdfOutputReader::File {};
NetcdfOutputReader::NetcdfOutputReader() = default;
NetcdfOutputReader::~NetcdfOutputReader() = default;
void NetcdfOutputReader::open(const std::string&) { refuse(); }
std::size_t NetcdfOutputReader::records() const noexcept { return 0; }
bool NetcdfOutputReader::has(const std::string&) const { return false; }
void NetcdfOutputReader::read(const std::string&, std::size_t, std::size_t, double*) const {
  refuse();
}
void NetcdfOutputReader::close() noexcept {}

}  // namespace vindrel
