// The user's settings file: an INI file in the XDG config folder, "Trimeo/Trimeo.ini".
// Holds the recent files and the window's placement.
#pragma once

#include <QSettings>

namespace trimeo {

struct TrimeoSettings : QSettings {
    TrimeoSettings() : QSettings(IniFormat, UserScope, "Trimeo", "Trimeo") {}
};

} // namespace trimeo
