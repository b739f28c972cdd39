#include "conversion/temporary_name_claim.h"

#include "conversion/file_operations.h"
#include "text/cp932.h"

namespace kestrove::conversion {

ClaimedName claim_temporary_name(const std::string& temporary_folder) {
  const std::string folder =
      text::ends_with_char(temporary_folder, '\\') ? temporary_folder : temporary_folder + "\\";
  for (;;) {
    const std::string name = random_hex_text(8);
    ClaimedName claim;
    switch (platform::create_named_mutex(name, claim.hold)) {
      case platform::MutexCreation::created:
        claim.temporary_file = folder + name + ".tmp";
        return claim;
      case platform::MutexCreation::already_exists:
      case platform::MutexCreation::failed:
        claim.hold.reset();
        platform::sleep_ms(50);
        break;
    }
  }
}

}  // namespace kestrove::conversion
