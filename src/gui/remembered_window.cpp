#include "gui/remembered_window.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <algorithm>

#include "app/analyser.h"
#include "app/front_panel_keys.h"
#include "gui/main_form.h"

namespace ostra {

namespace {

// The band along the window's top that must be on a screen, and how much of
// it: enough of the title bar to take the window with the mouse.
constexpr int kTitleBand = 30;
constexpr int kGraspWidth = 100;
constexpr int kGraspHeight = 20;

}  // namespace

std::filesystem::path WindowPlaceFile() {
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return std::filesystem::path(config.toStdU16String()) / "Ostra" / "window.txt";
}

QList<QRect> PresentScreens() {
  QList<QRect> areas;
  for (const QScreen* screen : QGuiApplication::screens()) areas << screen->availableGeometry();
  return areas;
}

bool PlaceIsOnScreen(const QRect& geometry, const QList<QRect>& screens) {
  // The title bar sits just above the client area the geometry describes.
  const QRect band(geometry.left(), geometry.top() - kTitleBand, geometry.width(), 2 * kTitleBand);
  const int grasp_width = std::min(kGraspWidth, geometry.width());
  return std::any_of(screens.begin(), screens.end(), [&](const QRect& screen) {
    const QRect on = band & screen;
    return on.width() >= grasp_width && on.height() >= kGraspHeight;
  });
}

void RestoreWindowPlace(TMainForm& form, Analyser& analyser,
                        const std::optional<WindowPlace>& place, const QList<QRect>& screens) {
  if (!place) return;
  const QRect geometry(place->left, place->top, place->width, place->height);
  if (PlaceIsOnScreen(geometry, screens)) {
    form.resize(geometry.size().expandedTo(form.minimumSize()));
    form.move(geometry.topLeft());
  }
  if (place->maximised) form.setWindowState(form.windowState() | Qt::WindowMaximized);
  if (place->control_panel_hidden && analyser.Keys().ControlPanelShown()) {
    analyser.Keys().HideControlPanel1Click();
  }
}

WindowPlace CurrentWindowPlace(const TMainForm& form, bool control_panel_shown) {
  const bool maximised = form.isMaximized();
  const QRect normal = maximised ? form.normalGeometry() : form.geometry();
  WindowPlace place;
  place.left = normal.left();
  place.top = normal.top();
  place.width = normal.width();
  place.height = normal.height();
  place.maximised = maximised;
  place.control_panel_hidden = !control_panel_shown;
  return place;
}

}  // namespace ostra
