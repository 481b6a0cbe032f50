#include "query/region_table.h"

namespace tessevin {

Text server_name_for(int position) {
  if (position < 0 || position >= region_count) return Text();
  return Text(region_table[static_cast<std::size_t>(position)].server_name);
}

}  // namespace tessevin
