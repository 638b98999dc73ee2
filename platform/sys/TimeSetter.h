// Setting the machine's clock, as the system settings page does on Save. Setting it needs the
// right to set the time (CAP_SYS_TIME); without it the call fails and says why. Tests put
// their own setter in place, so that no test ever changes the machine's clock.
#pragma once

#include <string>

#include "platform/sys/Clock.h"

namespace plat {

class TimeSetter {
public:
    virtual ~TimeSetter() = default;
    // Sets the clock to `local`, a calendar time of the machine's time zone. False, with the
    // reason in `error`, when the time is no real date or the clock refused it.
    virtual bool SetLocalTime(const SystemTime& local, std::string* error) = 0;
};

// The machine's clock (clock_settime). Refused while the program reads a clock other than the
// machine's (SetClock), as tests do.
class SystemTimeSetter final : public TimeSetter {
public:
    bool SetLocalTime(const SystemTime& local, std::string* error) override;
};

TimeSetter& GetTimeSetter();
// nullptr restores the machine's clock. The setter must outlive its use.
void SetTimeSetter(TimeSetter* setter);

// Whether `t` names a real moment: month 1..12, a day the month has (Gregorian calendar),
// hour 0..23, minute and second 0..59, milliseconds 0..999.
bool IsValidDate(const SystemTime& t);

}  // namespace plat
