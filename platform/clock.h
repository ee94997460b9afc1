#pragma once
// Today and now, replaceable in tests.

#include <QDate>
#include <QDateTime>

namespace kolva {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }
};

class SystemClock : public Clock {
public:
    QDateTime now() const override;
};

} // namespace kolva
