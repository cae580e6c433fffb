#pragma once

class ImportLoadContextInterface;

// An importer the host drives: extract() delivers what was imported.
class ImporterInterface {
public:
    virtual void extract(ImportLoadContextInterface& context) = 0;
    virtual ~ImporterInterface();
};
