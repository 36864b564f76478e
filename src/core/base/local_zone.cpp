#include "core/base/local_zone.h"

#include <time.h>

#include <cstdlib>
#include <string>

namespace clarivex {

quint64 localZoneGeneration()
{
    thread_local std::string seen = "\x01"; // no TZ value is this
    thread_local quint64 generation = 0;
    const char *zone = std::getenv("TZ");
    if (seen != (zone ? zone : "")) {
        ::tzset();
        seen = zone ? zone : "";
        ++generation;
    }
    return generation;
}

} // namespace clarivex
