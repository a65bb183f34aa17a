// The outputs for analysis tools: the names of the columns, the CSV and the
// NetCDF writers and readers, and reading any of the three formats back.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "core/positions.hpp"
#include "fileio/column_labels.hpp"
#include "fileio/content_hash.hpp"
#include "fileio/csv_output.hpp"
#include "fileio/formats/cf_attributes.hpp"
#include "fileio/formats/netcdf_output.hpp"
#include "fileio/formats/output_format.hpp"
#include "fileio/output_file.hpp"
#include "fileio_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using testing::FileSizeLimit;
using testing::read_bytes;
using testing::TempFolder;
using testing::write_bytes;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The small model of the golden files, with symbols; a unit holds a comma.
Model small_model_with_symbols() {
  Model model = testing::small_model();
  model.drivers[1].symbol = "Tmax";
  model.drivers[2].symbol = "Pr";
  model.states[1].symbol = "Cf";
  model.states[2].symbol = "Nnh4";
  model.processes[3].symbol = "LAI";
  model.states[2].units = "g N, m-2 \"ground\"";
  return model;
}

// Rows of `columns` values, the time first, for the writers.
std::vector<std::vector<double>> sample_rows(std::size_t columns, int count) {
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-30, 30);
  std::vector<std::vector<double>> rows;
  for (int r = 0; r < count; ++r) {
    std::vector<double> row{1.0 + r};
    for (std::size_t c = 1; c < columns; ++c) {
      row.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
    }
    rows.push_back(row);
  }
  return rows;
}

void write_rows(TableWriter& writer, const std::string& path, const Model& model,
                const std::vector<std::vector<double>>& rows, std::span<const std::size_t> columns,
                const OutputMetadata& metadata = {}) {
  const std::vector<ColumnLabel> labels = chosen_column_labels(model, columns);
  writer.open(path, model.ModelInfo, labels, metadata);
  for (const auto& row : rows) writer.write_row(row.data());
  writer.close();
}

// ---- Column names -----------------------------------------------------------------

TEST(ColumnLabels, NamesAreTheSymbolsQualifiedWhereShared) {
  const Model model = make_model();
  const std::vector<ColumnLabel> labels = output_column_labels(model);
  ASSERT_EQ(labels.size(), 208u);
  EXPECT_EQ(labels[0].name, "time");
  EXPECT_EQ(labels[0].units, "days");
  const std::size_t drivers = 18;
  EXPECT_EQ(labels[driver::Ts].name, "Ts_driver4");
  EXPECT_EQ(labels[drivers + process::TsMean].name, "Ts_process57");
  EXPECT_EQ(labels[drivers + process::RwmetL].name,
            "RrmetL_process" + std::to_string(process::RwmetL));
  EXPECT_EQ(labels[drivers + process::FoliagePhenology].name,
            "none_process" + std::to_string(process::FoliagePhenology));
  EXPECT_EQ(labels[drivers + state::Cf].name, "Cf");
  EXPECT_EQ(labels[drivers + state::Cf].long_name, "C: foliar");
  const ColumnLabel& lai = labels[drivers + process::LAI];
  EXPECT_EQ(lai.name, "LAI");
  EXPECT_EQ(lai.table, ColumnTable::kProcess);
  EXPECT_EQ(lai.index, process::LAI);
  EXPECT_EQ(lai.units, "m2 leaf m-2 ground");
  // Unique identifiers, usable as Python, R and NetCDF names.
  std::set<std::string> names;
  for (const ColumnLabel& label : labels) {
    EXPECT_TRUE(names.insert(label.name).second) << label.name;
    EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(label.name[0]))) << label.name;
    EXPECT_EQ(label.name.find_first_not_of(
                  "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_"),
              std::string::npos)
        << label.name;
  }
}

TEST(ColumnLabels, ChosenColumnsKeepTheirOrderAndRefuseBadPositions) {
  const Model model = make_model();
  const std::vector<std::size_t> chosen{18 + process::LAI, 1};
  const std::vector<ColumnLabel> labels = chosen_column_labels(model, chosen);
  ASSERT_EQ(labels.size(), 3u);
  EXPECT_EQ(labels[0].name, "time");
  EXPECT_EQ(labels[1].name, "LAI");
  EXPECT_EQ(labels[2].name, "Ca");
  EXPECT_EQ(chosen_column_labels(model, {}).size(), 208u);
  const auto message = [&model](std::vector<std::size_t> columns) {
    try {
      chosen_column_labels(model, columns);
    } catch (const std::invalid_argument& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message({0}), "no output column at position 0 (the values run from 1 to 207)");
  EXPECT_EQ(message({208}), "no output column at position 208 (the values run from 1 to 207)");
  EXPECT_EQ(message({3, 3}), "Tamin is chosen twice");
}

// ---- CF description ---------------------------------------------------------------

TEST(CfDescription, UnitsQuantitiesStandardNamesAndMarkersOfTheModelsColumns) {
  const Model model = make_model();
  const std::vector<ColumnLabel> labels = output_column_labels(model);
  const std::size_t drivers = 18;
  const CfDescription gpp = cf_description(labels[drivers + process::Ps]);
  EXPECT_EQ(gpp.units, "g m-2 d-1");
  EXPECT_EQ(gpp.long_name, "GPP: daily, carbon");
  EXPECT_EQ(gpp.standard_name, "gross_primary_productivity_of_biomass_expressed_as_carbon");
  EXPECT_FALSE(gpp.fill_value);
  const CfDescription total = cf_description(labels[drivers + state::PST]);
  EXPECT_EQ(total.units, "g m-2");
  EXPECT_EQ(total.long_name, "Cum. GPP, carbon, total since the start of the model year");
  const CfDescription snow = cf_description(labels[drivers + state::Ws]);
  EXPECT_EQ(snow.units, "mm");
  EXPECT_EQ(snow.standard_name, "lwe_thickness_of_surface_snow_amount");
  const CfDescription tamin = cf_description(labels[driver::Tamin]);
  EXPECT_EQ(tamin.units, "degC");
  EXPECT_EQ(tamin.cell_methods, "time: minimum");
  // The soil temperature process shares its symbol with the driver.
  EXPECT_EQ(cf_description(labels[drivers + process::TsMean]).standard_name, "soil_temperature");
  EXPECT_EQ(cf_description(labels[drivers + process::TsMean]).cell_methods, "time: mean");
  EXPECT_EQ(cf_description(labels[driver::DNnh4]).units, "g m-2");  // "g N m-2 " with a blank
  // Markers: ten drivers that may prescribe nothing, three senescence days.
  int minus_one = 0;
  int nine_nine_nine = 0;
  for (std::size_t k = 1; k < labels.size(); ++k) {
    const CfDescription cf = cf_description(labels[k]);
    EXPECT_FALSE(cf.units.empty()) << labels[k].name << " " << labels[k].units;
    if (cf.fill_value == -1.0) ++minus_one;
    if (cf.fill_value == 999.0) ++nine_nine_nine;
  }
  EXPECT_EQ(minus_one, 10);
  EXPECT_EQ(nine_nine_nine, 3);
  EXPECT_EQ(cf_description(labels[driver::DlambdaCF]).fill_value, -1.0);
  EXPECT_EQ(cf_description(labels[drivers + state::Jdrs]).fill_value, 999.0);
}

TEST(CfDescription, AnotherModelsColumnsGetNoBorrowedNamesAndUnknownUnitsNone) {
  // The small model's driver 2 sits where the model's Tamax does.
  const Model model = small_model_with_symbols();
  const std::vector<ColumnLabel> labels = output_column_labels(model);
  const CfDescription pr = cf_description(labels[2]);
  EXPECT_EQ(pr.standard_name, "");
  EXPECT_EQ(pr.units, "");  // "mm day-1" is not one of the model's texts
  EXPECT_EQ(pr.long_name, labels[2].long_name);
  EXPECT_FALSE(cf_units_of("furlongs per fortnight"));
  EXPECT_EQ(cf_units_of("oC")->units, "degC");
}

// ---- CSV --------------------------------------------------------------------------

TEST(CsvOutput, WritesNamesUnitsAndShortestNumbers) {
  TempFolder folder;
  const std::string path = folder.file("run.csv");
  const Model model = small_model_with_symbols();
  CsvTableWriter writer;
  write_rows(writer, path, model,
             {{2.0, 1.5, -0.00125, 0.1, 4.25, 365.0}, {2.5, kNaN, -kInf, 1e-300, -0.0, 1e-5}}, {});
  EXPECT_EQ(read_bytes(path),
            "time,Tmax,Pr,Cf,Nnh4,LAI\n"
            "days,deg C,mm day-1,g C m-2 ground,\"g N, m-2 \"\"ground\"\"\",m2 leaf m-2 ground\n"
            "2,1.5,-0.00125,0.1,4.25,365.0\n"
            "2.5,NaN,-Inf,1e-300,0.0,1e-05\n");
}

TEST(CsvOutput, ReadsBackEveryValueExactly) {
  TempFolder folder;
  const std::string path = folder.file("run.csv");
  const Model model = small_model_with_symbols();
  auto rows = sample_rows(6, 50);
  rows[7][3] = kInf;
  CsvTableWriter writer;
  write_rows(writer, path, model, rows, {});
  write_bytes(path, read_bytes(path) + "\n\n");  // blank lines at the end end the data
  CsvOutputReader reader;
  reader.open(path);
  EXPECT_EQ(reader.names(), (std::vector<std::string>{"time", "Tmax", "Pr", "Cf", "Nnh4", "LAI"}));
  EXPECT_EQ(reader.units()[4], "g N, m-2 \"ground\"");
  std::vector<double> values;
  for (const auto& row : rows) {
    ASSERT_TRUE(reader.read_row(values));
    EXPECT_EQ(values, row);
  }
  EXPECT_FALSE(reader.read_row(values));
}

TEST(CsvOutput, BadRecordsNameTheLineAndTheColumn) {
  TempFolder folder;
  const std::string path = folder.file("run.csv");
  const auto error = [&path](const std::string& text) {
    write_bytes(path, text);
    try {
      CsvOutputReader reader;
      reader.open(path);
      std::vector<double> values;
      while (reader.read_row(values)) {
      }
    } catch (const EInOutError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  const std::string header = "time,LAI\ndays,m2\n";
  EXPECT_EQ(error(header + "1,2\n2,x\n"),
            path + ":4: Invalid numeric input: expected the value of column 2 (LAI), found \"x\"");
  EXPECT_EQ(error(header + "1,2,3\n"), path + ":3: expected 2 fields, found more");
  EXPECT_EQ(error(header + "1\n"), path + ":3: expected 2 fields, found 1");
  EXPECT_EQ(error(header + "1,2\n\n2,3\n"), path + ":4: expected a record, found a blank line");
  EXPECT_EQ(error("Time,LAI\ndays,m2\n"),
            path +
                ":1: expected a CSV output of a run, whose first column is \"time\", found "
                "\"Time\"");
  EXPECT_EQ(error("time,LAI\n"),
            path + ":1: Unexpected end of file: expected the units of the columns on line 2");
  EXPECT_EQ(error(header + "1,\n"), "no error");  // an empty field is NaN
}

// ---- NetCDF -----------------------------------------------------------------------

class NetcdfOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!netcdf_available()) GTEST_SKIP() << kNetcdfMissing;
  }
};

TEST_F(NetcdfOutput, ReadsBackEveryValueExactlyAcrossChunks) {
  TempFolder folder;
  const std::string path = folder.file("run.nc");
  const Model model = small_model_with_symbols();
  const auto rows = sample_rows(4, static_cast<int>(kNetcdfChunkRecords) + 10);
  const std::vector<std::size_t> chosen{5, 1, 3};  // LAI, Tmax, Cf
  NetcdfTableWriter writer;
  write_rows(writer, path, model, rows, chosen);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"run.nc"});
  NetcdfOutputReader reader;
  reader.open(path);
  ASSERT_EQ(reader.records(), rows.size());
  EXPECT_TRUE(reader.has("LAI"));
  EXPECT_FALSE(reader.has("Pr"));
  std::vector<double> lai(rows.size());
  reader.read("LAI", 0, rows.size(), lai.data());
  std::vector<double> time(3);
  reader.read("time", kNetcdfChunkRecords - 1, 3, time.data());
  for (std::size_t r = 0; r < rows.size(); ++r) ASSERT_EQ(lai[r], rows[r][1]);
  EXPECT_EQ(time, (std::vector<double>{4096.0, 4097.0, 4098.0}));
}

TEST_F(NetcdfOutput, OnAFullDiskThePreviousFileStays) {
  TempFolder folder;
  const std::string path = folder.file("run.nc");
  write_bytes(path, "the previous file");
  const Model model = make_model();
  const auto rows = sample_rows(208, 3 * static_cast<int>(kNetcdfChunkRecords));
  NetcdfTableWriter writer;
  // The disk fills while the header is written, then while records are.
  for (const long limit_bytes : {200000L, 2000000L}) {
    try {
      FileSizeLimit limit(limit_bytes);
      write_rows(writer, path, model, rows, {});
      ADD_FAILURE() << "the write did not fail";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.message(), "Disk full");
      EXPECT_EQ(e.file(), path);
    }
    EXPECT_EQ(read_bytes(path), "the previous file");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"run.nc"});
  }
  // With room again, the next file is written.
  write_rows(writer, path, model, sample_rows(208, 2), {});
  NetcdfOutputReader reader;
  reader.open(path);
  EXPECT_EQ(reader.records(), 2u);
}

TEST(CsvOutputFailure, OnAFullDiskThePreviousFileStays) {
  TempFolder folder;
  const std::string path = folder.file("run.csv");
  write_bytes(path, "the previous file");
  const Model model = make_model();
  const auto rows = sample_rows(208, 2000);
  CsvTableWriter writer;
  try {
    FileSizeLimit limit(200000);
    write_rows(writer, path, model, rows, {});
    ADD_FAILURE() << "the write did not fail";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.message(), "Disk full");
  }
  EXPECT_EQ(read_bytes(path), "the previous file");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"run.csv"});
}

// ---- Reading any format -------------------------------------------------------------

TEST(OutputRecords, TheThreeFormatsReadBackTheSameRecords) {
  TempFolder folder;
  Model model = support::temperate_forest();
  const std::vector<ColumnLabel> labels = output_column_labels(model);
  OutputFileWriter out;
  out.open(folder.file("run.out"), model);
  CsvTableWriter csv;
  csv.open(folder.file("run.csv"), model.ModelInfo, labels, {});
  std::unique_ptr<TableWriter> netcdf =
      netcdf_available() ? make_table_writer(OutputFormat::kNetcdf) : nullptr;
  if (netcdf) netcdf->open(folder.file("run.nc"), model.ModelInfo, labels, {});
  std::vector<std::vector<double>> written;
  for (int day = 2; day <= 6; ++day) {
    model.states[state::Cf].value *= 1.0 + 1.0 / 3.0;
    model.processes[process::LAI].value = day / 7.0;
    std::vector<double> row{static_cast<double>(day)};
    for (std::size_t k = 1; k < labels.size(); ++k) row.push_back(column_value(model, labels[k]));
    out.write_record(model, day);
    csv.write_row(row.data());
    if (netcdf) netcdf->write_row(row.data());
    written.push_back(row);
  }
  out.close();
  csv.close();
  if (netcdf) netcdf->close();
  for (const char* name : {"run.out", "run.csv", "run.nc"}) {
    if (std::string(name) == "run.nc" && !netcdf) continue;
    std::vector<std::vector<double>> read;
    read_output_records(folder.file(name), model, {}, "the test",
                        [&](const double* row) { read.emplace_back(row, row + labels.size()); });
    ASSERT_EQ(read.size(), written.size()) << name;
    for (std::size_t r = 0; r < read.size(); ++r) {
      for (std::size_t k = 0; k < labels.size(); ++k) {
        // The model's text keeps 13 significant digits; the others every bit.
        const double tolerance =
            std::string(name) == "run.out" ? 5e-13 * std::fabs(written[r][k]) : 0.0;
        ASSERT_NEAR(read[r][k], written[r][k], tolerance) << name << " " << labels[k].name;
      }
    }
  }
}

TEST(OutputRecords, AFileWithoutTheNeededColumnsIsRefusedNamingThem) {
  TempFolder folder;
  const std::string path = folder.file("lai.csv");
  write_bytes(path, "time,LAI\ndays,m2 leaf m-2 ground\n1,2\n");
  const Model model = make_model();
  const std::vector<std::size_t> needed{18 + process::LAI, 18 + state::PST, 18 + state::Ws};
  try {
    read_output_records(path, model, needed, "the summary", [](const double*) {});
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(std::string(e.what()),
              path + ": the file lacks columns that the summary needs: PST, Ws");
  }
}

// ---- Content hashes -------------------------------------------------------------------

TEST(ContentHash, Sha256OfTheStandardExamplesAndOfAFile) {
  EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  TempFolder folder;
  write_bytes(folder.file("million"), std::string(1000000, 'a'));
  EXPECT_EQ(file_sha256(folder.file("million")),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  EXPECT_THROW(file_sha256(folder.file("missing")), EInOutError);
}

}  // namespace
}  // namespace vindrel
