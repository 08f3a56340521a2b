// What the engine-event routing needs of the main window, as small
// interfaces. The window implements them with its controls (see
// WidgetViews.h); tests implement them with plain recorders.
#pragma once

#include <QString>

namespace tolvan {

// The progress gauge, range 0..100.
class TGaugeView {
public:
    virtual ~TGaugeView() = default;
    virtual int Position() const = 0;
    // Callers pass values inside 0..100.
    virtual void SetPosition(int percent) = 0;
};

// A one-line text such as labProgress.
class TTextView {
public:
    virtual ~TTextView() = default;
    virtual void SetText(const QString& text) = 0;
};

// The recovery log pane.
class TLogView {
public:
    virtual ~TLogView() = default;
    // Adds one line at the end of the log.
    virtual void AppendLine(const QString& line) = 0;
};

// Modal message boxes.
class TAlertView {
public:
    virtual ~TAlertView() = default;
    // Shows text in a modal information box with one OK button and returns
    // when the user has closed it.
    virtual void ShowInformation(const QString& text) = 0;
};

// The window's Running flag.
class TRunState {
public:
    virtual ~TRunState() = default;
    virtual bool Running() const = 0;
};

// Processes the window events that are pending, without waiting for new
// ones.
class TEventPump {
public:
    virtual ~TEventPump() = default;
    virtual void PumpEvents() = 0;
};

}  // namespace tolvan
