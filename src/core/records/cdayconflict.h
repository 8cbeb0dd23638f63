#pragma once

#include "data/cdbexception.h"

// A confirmation refused because a row it changes or removes was itself changed or removed
// by another copy of the program since the day was read. Nothing was written.
class CDayConflict : public CDBException {
public:
    using CDBException::CDBException;
};
