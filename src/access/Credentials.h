#pragma once
#include <QString>

namespace korvid {

// The credentials of the run: read again at every connection, never copied.
// The login dialog implements it over its server and password boxes.
class Credentials {
public:
    virtual ~Credentials() = default;
    virtual QString serverName() const = 0;  // the server box's current text
    virtual QString password() const = 0;    // the password box's current text
};

}  // namespace korvid
