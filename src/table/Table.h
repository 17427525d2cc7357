#pragma once

#include "table/Identity.h"
#include "table/Outbox.h"
#include "table/Records.h"

namespace vellmar::table {

// The program-wide state every window reads, in its three concerns. The main
// window owns the one instance; a window takes by reference only the parts it
// uses, which this class hands out by conversion.
class Table : public Identity, public Records, public Outbox
{
public:
    Table() : Outbox(static_cast<const Identity &>(*this)) {}
    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    Identity &identity() { return *this; }
    Records &records() { return *this; }
    Outbox &outbox() { return *this; }
};

} // namespace vellmar::table
