// The freedesktop files that let file managers offer "Open with Trimeo": the desktop
// entry, whose MimeType list is the readable content types' MIME types in their order,
// and a shared-mime-info package naming those types' extensions, since the system's
// database knows only some of them. Qt-free: a build-time generator writes both.
#pragma once

#include <string>

namespace trimeo {

std::string desktopEntry();
std::string mimeInfo();

} // namespace trimeo
