#include "shared/session_state.h"

namespace glintvane {

SessionState gSession;
std::mutex gSessionImagesLock;

}  // namespace glintvane
