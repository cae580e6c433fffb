#include "ProgramLoadContext.h"

namespace cli {

void ProgramLoadContext::setCaseTable(vtkSmartPointer<vtkTable> table)
{
    caseTable_ = table;
}

void ProgramLoadContext::setAuxFileCollection(boost::shared_ptr<AuxFileCollectionInterface> const& collection)
{
    auxFiles_ = collection;
}

} // namespace cli
