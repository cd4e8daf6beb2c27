// The fields an answer decodes into, taken and set all at once, so a test can tell in one
// comparison whether an answer changed any of them.
#pragma once

#include <cstdint>
#include <ostream>

#include "untDriver.h"

struct Decoded {
    uint8_t releStatus, type, subType, protocol, soft;
    uint16_t number;
    bool operator==(const Decoded& o) const {
        return releStatus == o.releStatus && type == o.type && subType == o.subType &&
               protocol == o.protocol && soft == o.soft && number == o.number;
    }
};

inline std::ostream& operator<<(std::ostream& out, const Decoded& f) {
    return out << "status " << int{f.releStatus} << ", type " << int{f.type} << ", subtype "
               << int{f.subType} << ", protocol " << int{f.protocol} << ", soft " << int{f.soft}
               << ", number " << f.number;
}

inline Decoded FieldsOf(const TDriver& d) {
    return {d.ReleStatus,      d.DeviceType,  d.DeviceSubType,
            d.ProtocolVersion, d.SoftVersion, d.DeviceNumber};
}

inline void SetFields(TDriver& d, const Decoded& f) {
    d.ReleStatus = f.releStatus;
    d.DeviceType = f.type;
    d.DeviceSubType = f.subType;
    d.ProtocolVersion = f.protocol;
    d.SoftVersion = f.soft;
    d.DeviceNumber = f.number;
}
