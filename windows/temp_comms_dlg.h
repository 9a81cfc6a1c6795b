#pragma once

#include "config/location.h"
#include "windows/field_rules.h"

#include <string>

// Change Temporary Comms Parameters: Time 1, Time 2 and Retries of the connection in use,
// changed for this connection only. The caller hands the values in force and, on OK, writes the
// values back into the engine parameters.
class CTempCommsDlg {
public:
    enum class Field { None, Retries, Time1, Time2 };

    CTempCommsDlg(MediaType media, int retriesInForce, int time1InForce, int time2InForce)
        : mediaType(media), retries(retriesInForce), time1(time1InForce), time2(time2InForce) {}

    // Labels of the two time fields: a TCP/IP connection's Time 1 is its connection time-out and
    // Time 2 its message time-out; a serial line's are the character delays.
    unsigned time1LabelId() const;
    unsigned time2LabelId() const;

    // OK: reads the fields in the order Retries, Time 1, Time 2. Accepts, with the three values
    // taken, when each is a whole number (any value, 0 and negative included); otherwise refuses
    // the first field that is not, under kIdsEnterInteger, with no value changed.
    FieldCheck<Field> readFields(const std::string& retriesText, const std::string& time1Text,
                                 const std::string& time2Text);

    MediaType mediaType;
    int retries;
    int time1;
    int time2;
};
