// The application-wide objects the window registry hands on to the windows,
// dialogs and monitoring runs it makes: each of those takes only the ones it
// uses. Owned by the application; the registry holds none while it has no
// services (before start-up and after exit).
#pragma once

namespace qv {

class DeviceAccess;
class Log;
class SettingsStore;
class ViewConf;

struct AppServices {
    SettingsStore& store;
    ViewConf& conf;
    Log& log;
    DeviceAccess& devices;  // the device object and the selected unit
};

}  // namespace qv
