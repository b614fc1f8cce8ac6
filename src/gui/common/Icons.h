// The application's own icons, drawn at run time so that no image files
// need to be shipped: simple shapes in a 24 x 24 square.
#pragma once

#include <QIcon>

namespace qv {

enum class IconKind {
    Open,
    Close,
    First,
    Last,
    Start,
    Pause,
    Stop,
    Unit,
    Status,
    Clock,
    Sync,
    Help,
    Folder,
    Capture,
    FolderUp,
    ListView,
    DetailView,
    Dump,
    App,
    LineChart,
};

QIcon MakeIcon(IconKind kind);

}  // namespace qv
