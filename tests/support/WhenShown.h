// For Qt tests: acts on a window as soon as it shows, from the GUI thread's own event loop (so
// also inside a modal dialog's). Checks every 10 ms for at most 10 seconds.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace tavrik::testing {

// Runs `action` on the first visible top-level widget whose object name is `name`.
inline void WhenShown(const QString& name, std::function<void(QWidget*)> action) {
  auto* timer = new QTimer;
  auto ticks = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, ticks, name, action] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->objectName() == name) {
        timer->stop();
        timer->deleteLater();
        return action(w);
      }
    if (++*ticks > 1000) {
      timer->stop();
      timer->deleteLater();
      ADD_FAILURE() << "never shown: " << name.toStdString();
    }
  });
  timer->start(10);
}

}  // namespace tavrik::testing
