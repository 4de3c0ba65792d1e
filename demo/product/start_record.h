// The product's usage state in the registry: how often it has been started
// and when last, under HKEY_CURRENT_USER\Software\TarvexPDFConver.
#pragma once

#include <string>

namespace demo {

struct StartRecord {
    unsigned long count = 0; // this start's number, counting from 1
    bool saved = false;      // false: the store could not be written
};

// Adds one to startCount (a missing or unusable value counts as 0) and sets
// lastStart to the present time, "YYYY-MM-DD hh:mm:ss UTC".
StartRecord RecordStart();

} // namespace demo
