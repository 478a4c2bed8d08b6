// The main window comes back where it was: its place, size, maximised state
// and hidden control panel, read from the per-user file at start and written
// when the program ends. A place on no screen that is present (a monitor
// since unplugged) is not restored, so the window always opens visible.
#pragma once

#include <QList>
#include <QRect>
#include <filesystem>
#include <optional>

#include "base/window_place.h"

namespace ostra {

class Analyser;
class TMainForm;

// <the user's configuration folder>/Ostra/window.txt.
std::filesystem::path WindowPlaceFile();
// The available areas of the screens that are present.
QList<QRect> PresentScreens();
// Whether the top of a window at `geometry` (where its title bar is) lies on
// one of `screens` far enough to be taken with the mouse.
bool PlaceIsOnScreen(const QRect& geometry, const QList<QRect>& screens);

// Before the main window first shows: the place and size when on a screen,
// maximised as it was, the control panel hidden as it was.
void RestoreWindowPlace(TMainForm& form, Analyser& analyser,
                        const std::optional<WindowPlace>& place, const QList<QRect>& screens);
// The main window's place now (its size when not maximised).
WindowPlace CurrentWindowPlace(const TMainForm& form, bool control_panel_shown);

}  // namespace ostra
