#pragma once
#include <QString>

namespace korvid {

// The credentials of the run: read again at every connection, never copied.
// The login dialog implements it over its boxes fwq and mm.
class Credentials {
public:
    virtual ~Credentials() = default;
    virtual QString serverName() const = 0;  // current text of fwq
    virtual QString password() const = 0;    // current text of mm
};

}  // namespace korvid
