#pragma once

namespace pantrio::Fonts
{

// Maps the faces the windows and reports were designed with to close installed
// stand-ins. Call once the application object exists.
void installSubstitutions();

} // namespace pantrio::Fonts
