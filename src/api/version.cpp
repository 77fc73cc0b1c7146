#include <armkin/version.hpp>

namespace armkin {

const char* version() noexcept { return ARMKIN_VERSION_STRING; }

}  // namespace armkin
