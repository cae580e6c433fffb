#pragma once

#include "host/Export.h"

class ImportLoadContextInterface;

// An importer the host drives: extract() delivers what was imported.
class BRIM_HOST_EXPORT ImporterInterface {
public:
    virtual void extract(ImportLoadContextInterface& context) = 0;
    virtual ~ImporterInterface();
};
