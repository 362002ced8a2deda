#pragma once

namespace tarv::utility {

// Puts the library's windows at the classes' disposal (LibraryWindows). The shared library
// does it when it is loaded; tests that link the parts call it themselves.
void installLibraryWindows();

} // namespace tarv::utility
