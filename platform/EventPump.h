#pragma once

#include <QtGlobal>

namespace tarv {

// Lets pending window events run (the programs' DoEvents). Long loops call it often;
// an implementation may return at once when it ran only moments ago.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void pump() = 0;
};

// Millisecond clock for waits and pacing.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 milliseconds() = 0;
};

// processEvents, at most once every two milliseconds.
class QtEventPump : public EventPump {
public:
    void pump() override;

private:
    qint64 m_last = -1;
};

class SteadyClock : public Clock {
public:
    qint64 milliseconds() override;
};

} // namespace tarv
