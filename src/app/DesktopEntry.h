// The freedesktop files that let file managers offer "Open with Trimeo": the desktop
// entry, whose MimeType list is the readable content types' MIME types in their order,
// and a shared-mime-info package naming those types' extensions, since the system's
// database knows only some of them; and the thumbnailer entry, through which file managers
// ask `trimeo --thumbnail` for pictures of the types it can draw; and the AppStream
// metainfo software centres show, listing the same types. Qt-free: a build-time generator
// writes all four.
#pragma once

#include <string>

namespace trimeo {

std::string desktopEntry();
std::string mimeInfo();
// Claims every type of the format table that a file of can be drawn: not VDB, whose
// files are always refused.
std::string thumbnailerEntry();

// The AppStream component id, which names the metainfo file: <id>.metainfo.xml.
inline constexpr const char* kAppStreamId = "example.trimeo.Trimeo";
// For `version`, released on `date` (YYYY-MM-DD).
std::string appStreamMetainfo(const std::string& version, const std::string& date);

} // namespace trimeo
