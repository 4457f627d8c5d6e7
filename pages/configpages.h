#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>

class CWindowTimers;
class INavigation;
class QWidget;

// What the IP address, firmware, password and reset pages share: their messages, their timed
// waits behind the progress dialog, and presses on the words of the page picture.
namespace ConfigPages
{

// Frames of the progress animation; a wait shows tick count mod this.
inline constexpr int kProgressFrames = 11;

// The console's message dialog with string-table entry `stringId`, run modally. False when the
// program is closing: the caller must not go on (nor touch itself, which may be gone).
bool ShowMessage(int stringId);

// A value read from the device, for a markup static: it shows as the device gave it and can
// open no tag or link. Entities stay, as on the summary page.
QString DeviceText(QString value);

// Runs the console's progress dialog with `text` until the wait's timer ends it. False when the
// program is closing.
bool RunProgress(const QString& text);

// One tick of a timed wait on `timerId`: the next frame, and after the last tick the end of
// the wait, with the Locate page shown and the console hidden (through `navigation`). True when the wait has ended.
bool WaitTick(int& ticks, int lastTick, CWindowTimers* timers, unsigned timerId,
              INavigation* navigation);

// A page hidden in the middle of its wait: nothing else would end the progress dialog, and the
// program would stay blocked behind it.
void StopWait(CWindowTimers* timers, unsigned timerId);

} // namespace ConfigPages

// Watches a page for what the label areas need: the hand cursor over them, and every mouse
// press over the page or any of its controls (in page coordinates), seen before the control
// itself handles it. Install it once the page's controls exist.
class CLabelAreaWatcher : public QObject
{
    Q_OBJECT
public:
    using HandTest = std::function<bool(QPoint pos)>;
    using PressHandler = std::function<void(QPoint pos)>;

    CLabelAreaWatcher(QWidget* page, HandTest hand, PressHandler press = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_page;
    HandTest m_hand;
    PressHandler m_press;
};
