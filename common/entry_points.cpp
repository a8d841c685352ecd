// The entry points that are the same in every library, and its error slot.
#include "eval_frame.hpp"

namespace material {
std::atomic<const char*> error{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free);
}  // namespace material

MATERIAL_EXPORT int32_t init(const char*) { return 1; }

MATERIAL_EXPORT const char* getLastError(void) {
  return material::error.load(std::memory_order_acquire);
}
