#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>

// What a command switches on for its duration, switched off again on every way
// out, an error included. A scope can be handed on (moved) to something that
// outlives the handler, as the interpolation run does.

// The hourglass.
class TWaitCursor {
public:
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() {
    if (fActive) QApplication::restoreOverrideCursor();
  }
  TWaitCursor(TWaitCursor&& other) noexcept : fActive(other.fActive) { other.fActive = false; }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
  TWaitCursor& operator=(TWaitCursor&&) = delete;

private:
  bool fActive = true;
};

// A widget disabled, and enabled again only if it was enabled before.
class TDisabledWidget {
public:
  explicit TDisabledWidget(QWidget* widget) : fWidget(widget), fWasEnabled(widget->isEnabled()) {
    widget->setEnabled(false);
  }
  ~TDisabledWidget() {
    if (fWidget && fWasEnabled) fWidget->setEnabled(true);
  }
  TDisabledWidget(TDisabledWidget&& other) noexcept : fWidget(other.fWidget), fWasEnabled(other.fWasEnabled) {
    other.fWidget = nullptr;
  }
  TDisabledWidget(const TDisabledWidget&) = delete;
  TDisabledWidget& operator=(const TDisabledWidget&) = delete;
  TDisabledWidget& operator=(TDisabledWidget&&) = delete;

private:
  QPointer<QWidget> fWidget;
  bool fWasEnabled;
};
