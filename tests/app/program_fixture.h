#pragma once
// What the tests of the whole window program share: the options of a program started on a demo
// base folder, and a wait that keeps the event loop turning until a condition holds.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>
#include <utility>

#include "app/startup_program.h"
#include "tests/site/demo_base.h"

// Simulated units without their timing, the demo's folders and a registry of the test's own.
inline ProgramOptions DemoProgramOptions(const DemoBase& demo, int units) {
  ProgramOptions options;
  options.baseDir = demo.base;
  options.bus.simulatedUnits = units;
  options.bus.timing = false;
  options.tempRoot = demo.temp;
  options.registry = RegistryStore(demo.root + "registry.ini");
  return options;
}

// False when `done` still does not hold after `timeoutMs`: a regression fails, it never hangs.
inline bool PumpEventsUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}
