#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>

// The X server's own word on the user's input: the SYNC extension's IDLETIME counter (milliseconds since
// the last input of any device, keyboard included), with two alarms on it, so nothing polls: one fires
// when the counter climbs past the threshold, the other when input brings it back down. The alarms live
// on the display connection Qt already has, and their events come through its event queue.
//
// It cannot tell a video player that resets the screensaver from input: both reset the counter.
class X11IdleWatch final : public QObject, private QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11IdleWatch(QObject* parent = nullptr);
    ~X11IdleWatch() override;
    Q_DISABLE_COPY_MOVE(X11IdleWatch)

    // Watches for `thresholdMs` without input. False, and nothing watched, off X11, without the counter,
    // for a threshold of 0, or under Xwayland (UnderWayland). Costs a round trip to the X server, which is on
    // this machine or the display would not be either.
    bool Start(qint64 thresholdMs);

    // A Wayland session: its X server (Xwayland) sees only the input that goes to X windows, and would
    // call a user who types into Wayland windows idle.
    static bool UnderWayland();

Q_SIGNALS:
    // No input for `seconds` so far, or input again.
    void inactivityChanged(bool inactive, qint64 seconds);

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void Arm(std::uint32_t alarm, bool climbing, bool create);

    void* m_connection = nullptr; // Qt's: it outlives every window's children
    std::uint32_t m_counter = 0;
    std::uint32_t m_idleAlarm = 0;
    std::uint32_t m_activeAlarm = 0;
    std::uint8_t m_notifyType = 0; // the alarm event's response type on this display
    qint64 m_thresholdMs = 0;
    bool m_inactive = false;
};
