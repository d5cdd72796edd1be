#pragma once
// Opens a web address or a mail link with the desktop's default handler,
// without waiting for the browser or mail client to end.

#include <string>

namespace platform {

// False when the opener could not even be started; what the handler then
// does is not followed.
bool OpenLinkDetached(const std::string& aLink);

}  // namespace platform
