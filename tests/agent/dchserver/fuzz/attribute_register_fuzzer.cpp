// The attribute register text of a data provider's register request: any text is
// parsed description by description to its end or to its first malformed one, and
// the store's list of an attribute group takes it, or refuses it, whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "attr_info_list.h"
#include "attribute_register.h"
#include "trc1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (TRC1_Configure("*=0"), true);
  (void)quiet;
  const std::string text(reinterpret_cast<const char*>(data), size);

  AttributeRegisterParser parser(text.c_str());
  AttributeDescription description;
  int result;
  // Each description takes at least its ';': more of them than characters is a loop.
  size_t descriptions = 0;
  while ((result = parser.next(&description)) == 1) {
    if (++descriptions > size || description.help.size() > AttributeDescription::kMaxHelp ||
        description.name.size() > AttributeDescription::kMaxName)
      std::abort();
  }

  attrInfoList list(nullptr, "GROUP", "SOURCE", 'P', 60, text.c_str(), 0);
  return 0;
}
