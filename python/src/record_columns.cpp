#include "record_columns.hpp"

#include "fileio/output_columns.hpp"

namespace vindrel::python {

std::vector<std::string> record_column_keys(const Model& model) {
  const int count = output_column_count(model.ModelInfo);
  std::vector<std::string> keys;
  keys.reserve(static_cast<std::size_t>(count));
  for (int c = 0; c < count; ++c) {
    const OutputColumn column = output_column(model, c);
    try {
      if (resolve_output_name(model, column.symbol).column == c) {
        keys.push_back(column.symbol);
        continue;
      }
    } catch (const OutputNameError&) {
      // A symbol that other columns share, or a name that means something
      // else: the qualified name picks the column alone.
    }
    keys.push_back(qualified_output_name(model, column));
  }
  return keys;
}

}  // namespace vindrel::python
