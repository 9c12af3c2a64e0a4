// Apartment state of the calling thread, for the component runtime.
#pragma once

namespace com {

// True when the calling thread entered an apartment, or a multithreaded apartment exists in the
// process (which an uninitialised thread joins implicitly, as on Windows).
bool ThreadMayCreateObjects();

}  // namespace com
