#pragma once

#include "host/AuxFileCollectionInterface.h"
#include "host/ImportLoadContextInterface.h"

#include <boost/shared_ptr.hpp>
#include <vtkSmartPointer.h>
#include <vtkTable.h>

namespace cli {

// What the importer delivers to the program: the case table and the
// collection of auxiliary files (null when none was chosen).
class ProgramLoadContext : public ImportLoadContextInterface {
public:
    void setCaseTable(vtkSmartPointer<vtkTable> table) override;
    void setAuxFileCollection(boost::shared_ptr<AuxFileCollectionInterface> const& collection) override;

    vtkSmartPointer<vtkTable> caseTable() const { return caseTable_; }
    boost::shared_ptr<AuxFileCollectionInterface> auxFiles() const { return auxFiles_; }

private:
    vtkSmartPointer<vtkTable> caseTable_;
    boost::shared_ptr<AuxFileCollectionInterface> auxFiles_;
};

} // namespace cli
