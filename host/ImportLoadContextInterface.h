#pragma once

#include "host/AuxFileCollectionInterface.h"
#include "host/Export.h"

#include <boost/shared_ptr.hpp>
#include <vtkSmartPointer.h>
#include <vtkTable.h>

// Receives the results of an import: the case table, then the auxiliary files.
class BRIM_HOST_EXPORT ImportLoadContextInterface {
public:
    virtual ~ImportLoadContextInterface();
    virtual void setCaseTable(vtkSmartPointer<vtkTable> table) = 0;
    virtual void setAuxFileCollection(boost::shared_ptr<AuxFileCollectionInterface> const& collection) = 0;
};
