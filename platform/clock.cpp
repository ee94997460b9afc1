#include "platform/clock.h"

namespace kolva {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

} // namespace kolva
