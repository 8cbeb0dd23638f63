#pragma once

#include "data/cdbexception.h"

// A write of a session whose user row is gone: the user was deleted, or deleted and created
// again under the same name, by another copy of the program since this one logged in.
// Nothing was written; the session has to end.
class CSessionGone : public CDBException {
public:
    using CDBException::CDBException;
};
