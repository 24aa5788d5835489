// The freedesktop files that let file managers offer "Open with Trimeo": the desktop
// entry, whose MimeType list is the readable content types' MIME types in their order,
// and a shared-mime-info package naming those types' extensions, since the system's
// database knows only some of them; and the thumbnailer entry, through which file managers
// ask `trimeo --thumbnail` for pictures of the types it can draw. Qt-free: a build-time
// generator writes all three.
#pragma once

#include <string>

namespace trimeo {

std::string desktopEntry();
std::string mimeInfo();
// Claims every type of the format table that a file of can be drawn: not VDB, whose
// files are always refused.
std::string thumbnailerEntry();

} // namespace trimeo
