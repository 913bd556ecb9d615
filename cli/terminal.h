// Whether stderr is an interactive terminal (progress is shown only there).
#pragma once

namespace WallpaperCli {
bool StderrIsTerminal();
}
