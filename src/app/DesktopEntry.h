// The freedesktop desktop entry that lets file managers offer "Open with Trimeo": its
// MimeType list is the readable content types' MIME types, in their order.
// Qt-free: a build-time generator writes it.
#pragma once

#include <string>

namespace trimeo {

std::string desktopEntry();

} // namespace trimeo
